// StartMonitoring: called after every successful login. The running watchdog (if any) is
// told to stop and handed to the reaper, and a fresh watchdog takes its place in the record.
// The UI thread never waits here for a monitor's network call to end.
#pragma once

#include <memory>

#include "client/monitor/address_monitor.h"
#include "client/monitor/monitor_shared.h"
#include "client/monitor/task_reaper.h"
#include "client/record/client_context.h"

namespace quorin::client {

void StartMonitoring(ClientContext& context, std::shared_ptr<const MonitorServices> services,
                     MonitorShared& shared = ProcessMonitorShared(),
                     TaskReaper& reaper = ProcessTaskReaper());

}  // namespace quorin::client
