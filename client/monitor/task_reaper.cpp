#include "client/monitor/task_reaper.h"

#include <system_error>

namespace quorin::client {

TaskReaper::~TaskReaper() {
  WaitForAll();
}

void TaskReaper::Retire(std::unique_ptr<BackgroundTask> task) {
  if (!task)
    return;
  task->RequestStop();
  std::lock_guard lock(mutex_);
  // Tasks already destroyed leave their threads behind to be joined (at once) here.
  std::erase_if(reapings_, [](const Reaping& reaping) { return reaping.done->load(); });
  auto done = std::make_shared<std::atomic<bool>>(false);
  // Owned by the thread below, or destroyed here when no thread can be started.
  auto shared = std::make_shared<std::unique_ptr<BackgroundTask>>(std::move(task));
  try {
    reapings_.push_back(Reaping{done, platform::StoppableThread([shared, done] {
                                  shared->reset();
                                  done->store(true);
                                })});
  } catch (const std::system_error&) {
    shared->reset();
  }
}

void TaskReaper::WaitForAll() {
  std::vector<Reaping> reapings;
  {
    std::lock_guard lock(mutex_);
    reapings.swap(reapings_);
  }
  reapings.clear();
}

TaskReaper& ProcessTaskReaper() {
  static TaskReaper reaper;
  return reaper;
}

}  // namespace quorin::client
