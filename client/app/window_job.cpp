#include "client/app/window_job.h"

#include <system_error>
#include <utility>

namespace quorin::client {

WindowJob::~WindowJob() {
  if (worker_.joinable())
    worker_.join();
}

bool WindowJob::Start(HWND window, UINT doneMessage, std::function<void()> work,
                      std::function<void()> apply) {
  if (worker_.joinable())
    return false;
  try {
    worker_ = std::thread([window, doneMessage, work = std::move(work)] {
      work();
      // A window that is gone by now simply does not get the message.
      ::PostMessageW(window, doneMessage, 0, 0);
    });
  } catch (const std::system_error&) {
    return false;  // no thread to run it on: as if busy, the user may try again
  }
  apply_ = std::move(apply);
  return true;
}

void WindowJob::Complete() {
  if (!worker_.joinable())
    return;
  worker_.join();
  std::function<void()> apply = std::move(apply_);
  apply_ = nullptr;
  if (apply)
    apply();
}

}  // namespace quorin::client
