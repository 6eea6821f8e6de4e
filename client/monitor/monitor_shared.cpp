#include "client/monitor/monitor_shared.h"

namespace quorin::client {

MonitorShared& ProcessMonitorShared() {
  static MonitorShared shared;
  return shared;
}

}  // namespace quorin::client
