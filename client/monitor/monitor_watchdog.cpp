#include "client/monitor/monitor_watchdog.h"

#include <system_error>
#include <vector>

#include "platform/clock.h"

namespace quorin::client {
namespace {

struct MonitorThread {
  std::shared_ptr<std::atomic<bool>> ended;
  platform::StoppableThread thread;
};

}  // namespace

MonitorWatchdog::MonitorWatchdog(ClientContext& context,
                                 std::shared_ptr<const MonitorServices> services,
                                 MonitorShared& shared)
    : context_(context),
      services_(std::move(services)),
      shared_(shared),
      thread_([this](platform::StopToken stop) { Run(stop); }) {}

MonitorWatchdog::~MonitorWatchdog() {
  RequestStop();
  if (thread_.Joinable())
    thread_.Join();
}

void MonitorWatchdog::RequestStop() {
  thread_.RequestStop();
}

void MonitorWatchdog::Run(platform::StopToken stop) {
  auto startMonitor = [this]() -> MonitorThread {
    MonitorThread monitor{std::make_shared<std::atomic<bool>>(false), {}};
    // The new generation silences every earlier monitor of this record before this one runs.
    const std::uint64_t generation = context_.BeginGeneration();
    try {
      monitor.thread = platform::StoppableThread(
          [this, generation, ended = monitor.ended](platform::StopToken monitorStop) {
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
    const bool failedToStart = !current.thread.Joinable();
    if (!failedToStart && shared_.heartbeat.exchange(kHeartbeatChecked) != kHeartbeatChecked) {
      continue;
    }
    current.thread.RequestStop();
    stalled.push_back(std::move(current));
    current = startMonitor();
  }
  current.thread.RequestStop();
  for (MonitorThread& monitor : stalled)
    monitor.thread.RequestStop();
  // The monitors are joined as they go out of scope; each ends at its next step.
}

}  // namespace quorin::client
