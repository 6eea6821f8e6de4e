// The watchdog: starts the address monitor and, every five minutes, checks its heartbeat. A
// monitor that showed no sign of life for a whole period (a network call that hangs, say) is
// told to stop and a fresh one starts at once; the stalled one can no longer write into the
// record (its generation is over) and ends when its pending call returns.
//
// Stopping the watchdog stops every monitor it started; destroying it waits for them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include "platform/stoppable_thread.h"

#include "client/monitor/address_monitor.h"
#include "client/monitor/monitor_shared.h"
#include "client/record/client_context.h"
#include "platform/stop_token.h"

namespace quorin::client {

inline constexpr std::int64_t kWatchdogIntervalMs = 300000;

class MonitorWatchdog : public BackgroundTask {
 public:
  MonitorWatchdog(ClientContext& context, std::shared_ptr<const MonitorServices> services,
                  MonitorShared& shared = ProcessMonitorShared());
  ~MonitorWatchdog() override;
  MonitorWatchdog(const MonitorWatchdog&) = delete;
  MonitorWatchdog& operator=(const MonitorWatchdog&) = delete;

  void RequestStop() override;

  // How many monitors this watchdog has started (the first one and every replacement).
  int MonitorsStarted() const { return monitorsStarted_.load(); }

 private:
  void Run(platform::StopToken stop);

  ClientContext& context_;
  const std::shared_ptr<const MonitorServices> services_;
  MonitorShared& shared_;
  std::atomic<int> monitorsStarted_{0};
  platform::StoppableThread thread_;  // last: it starts once everything above is in place
};

}  // namespace quorin::client
