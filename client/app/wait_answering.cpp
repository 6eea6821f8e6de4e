#include "client/app/wait_answering.h"

#include <optional>
#include <system_error>
#include <thread>

#include "platform/win32/unique_handle.h"

namespace quorin::client {
namespace {

// Dispatches what is waiting; the exit code of a WM_QUIT, when one came.
std::optional<WPARAM> DispatchWaiting() {
  std::optional<WPARAM> quit;
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = message.wParam;
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return quit;
}

}  // namespace

void RunWhileAnswering(HWND window, const std::function<void()>& work) {
  const platform::UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread worker;
  if (done) {
    try {
      worker = std::thread([&work, event = done.get()] {
        work();
        ::SetEvent(event);
      });
    } catch (const std::system_error&) {
    }
  }
  if (!worker.joinable()) {
    work();
    return;
  }
  // EnableWindow answers whether the window was disabled before: only a window this wait
  // disabled is enabled again.
  const bool wasDisabled = window != nullptr && ::EnableWindow(window, FALSE) != FALSE;
  std::optional<WPARAM> quit;
  const HANDLE event = done.get();
  for (;;) {
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // A wait the system cannot do leaves only the join, on this thread.
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
      break;
    if (const auto code = DispatchWaiting())
      quit = code;
  }
  worker.join();
  if (window != nullptr && !wasDisabled) {
    ::EnableWindow(window, TRUE);
    ::SetForegroundWindow(window);
  }
  if (quit)
    ::PostQuitMessage(static_cast<int>(*quit));
}

}  // namespace quorin::client
