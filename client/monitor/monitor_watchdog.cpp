#include "client/monitor/monitor_watchdog.h"

#include <system_error>
#include <vector>

#include "platform/clock.h"

namespace quorin::client {
namespace {

struct MonitorThread {
  std::shared_ptr<std::atomic<bool>> ended;
  std::jthread thread;
};

}  // namespace

MonitorWatchdog::MonitorWatchdog(ClientContext& context,
                                 std::shared_ptr<const MonitorServices> services,
                                 MonitorShared& shared)
    : context_(context),
      services_(std::move(services)),
      shared_(shared),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

MonitorWatchdog::~MonitorWatchdog() {
  RequestStop();
  if (thread_.joinable())
    thread_.join();
}

void MonitorWatchdog::RequestStop() {
  thread_.request_stop();
}

void MonitorWatchdog::Run(std::stop_token stop) {
  auto startMonitor = [this]() -> MonitorThread {
    MonitorThread monitor{std::make_shared<std::atomic<bool>>(false), {}};
    // The new generation silences every earlier monitor of this record before this one runs.
    const std::uint64_t generation = context_.BeginGeneration();
    try {
      monitor.thread =
          std::jthread([this, generation, ended = monitor.ended](std::stop_token monitorStop) {
            RunAddressMonitor(context_, *services_, shared_, generation, monitorStop);
            ended->store(true);
          });
      ++monitorsStarted_;
    } catch (const std::system_error&) {
      monitor.ended->store(true);  // tried again at the next check
    }
    return monitor;
  };

  MonitorThread current = startMonitor();
  std::vector<MonitorThread> stalled;
  platform::Clock& clock = platform::CurrentClock();
  while (clock.WaitFor(kWatchdogIntervalMs, stop)) {
    std::erase_if(stalled, [](const MonitorThread& monitor) { return monitor.ended->load(); });
    const bool failedToStart = !current.thread.joinable();
    if (!failedToStart && shared_.heartbeat.exchange(kHeartbeatChecked) != kHeartbeatChecked) {
      continue;
    }
    current.thread.request_stop();
    stalled.push_back(std::move(current));
    current = startMonitor();
  }
  current.thread.request_stop();
  for (MonitorThread& monitor : stalled)
    monitor.thread.request_stop();
  // The monitors are joined as they go out of scope; each ends at its next step.
}

}  // namespace quorin::client
