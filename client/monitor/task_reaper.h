// Waits for stopped background tasks on threads of its own, so that the UI thread can replace
// a watchdog without waiting for its monitor's network call to end.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>
#include "platform/stoppable_thread.h"

#include "client/record/client_context.h"

namespace quorin::client {

class TaskReaper {
 public:
  TaskReaper() = default;
  // Waits for every task still being stopped.
  ~TaskReaper();
  TaskReaper(const TaskReaper&) = delete;
  TaskReaper& operator=(const TaskReaper&) = delete;

  // Asks the task to stop and destroys it on a thread of its own.
  void Retire(std::unique_ptr<BackgroundTask> task);

  // Waits until every retired task has been destroyed.
  void WaitForAll();

 private:
  struct Reaping {
    std::shared_ptr<std::atomic<bool>> done;
    platform::StoppableThread thread;
  };
  std::mutex mutex_;
  std::vector<Reaping> reapings_;
};

// The process's reaper.
TaskReaper& ProcessTaskReaper();

}  // namespace quorin::client
