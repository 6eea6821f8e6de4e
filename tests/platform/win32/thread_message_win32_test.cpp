#include <windows.h>

#include <gtest/gtest.h>

#include "platform/thread_message.h"

namespace quorin::platform {
namespace {

TEST(ThreadMessageWin32, ArrivesInTheThreadsQueue) {
  MSG message{};
  // A thread gets its message queue with its first call of a message function.
  ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  ASSERT_EQ(CurrentThreadNumber(), ::GetCurrentThreadId());
  ASSERT_TRUE(PostThreadMessageTo(CurrentThreadNumber(), 0x2402));
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, 0x2402, 0x2402, PM_REMOVE));
  EXPECT_EQ(message.message, 0x2402u);
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 0);
  EXPECT_EQ(message.hwnd, nullptr) << "a thread message, not a window's";
}

}  // namespace
}  // namespace quorin::platform
