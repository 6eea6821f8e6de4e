#include "client/monitor/start_monitoring.h"

#include "client/monitor/monitor_watchdog.h"

namespace quorin::client {

void StartMonitoring(ClientContext& context, std::shared_ptr<const MonitorServices> services,
                     MonitorShared& shared, TaskReaper& reaper) {
  reaper.Retire(context.ExchangeWatchdog(nullptr));
  // A second login racing this one may have installed a watchdog meanwhile: the newest wins.
  reaper.Retire(context.ExchangeWatchdog(
      std::make_unique<MonitorWatchdog>(context, std::move(services), shared)));
}

}  // namespace quorin::client
