// One network operation of a window at a time (the login, the domain refresh, a save) on a
// worker thread, so that the window keeps answering while a server takes its time. The worker
// never touches a window: when the work is done it posts `doneMessage` to the window, and the
// window's handler calls Complete() on its own thread, which runs the job's result step there.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

namespace quorin::client {

class WindowJob {
 public:
  WindowJob() = default;
  // Waits for a worker that is still running; its result step does not run any more.
  ~WindowJob();
  WindowJob(const WindowJob&) = delete;
  WindowJob& operator=(const WindowJob&) = delete;

  // Runs `work` on a worker and, through `doneMessage` posted to `window`, `apply` on the
  // window's thread afterwards. False (and nothing runs) while another job is under way.
  bool Start(HWND window, UINT doneMessage, std::function<void()> work,
             std::function<void()> apply);
  bool Running() const { return worker_.joinable(); }
  // For the handler of `doneMessage`: waits for the worker (which has finished or is about
  // to) and runs the result step. Does nothing when no job runs.
  void Complete();

 private:
  std::thread worker_;
  std::function<void()> apply_;
};

}  // namespace quorin::client
