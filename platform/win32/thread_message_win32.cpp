#include <windows.h>

#include "platform/thread_message.h"

namespace quorin::platform {

std::uint32_t CurrentThreadNumber() {
  return ::GetCurrentThreadId();
}

bool PostThreadMessageTo(std::uint32_t threadId, std::uint32_t message) {
  return ::PostThreadMessageW(threadId, message, 0, 0) != FALSE;
}

}  // namespace quorin::platform
