// The two values that all monitors of the process share: the heartbeat, by which a monitor
// shows the watchdog that it is alive, and the behind-router flag, which tells whether the
// machine's own address was last found to be its public address.
#pragma once

#include <atomic>

namespace quorin::client {

inline constexpr char kHeartbeatAlive = 'Y';
inline constexpr char kHeartbeatChecked = 'N';

struct MonitorShared {
  // The monitor sets kHeartbeatAlive; the watchdog sets kHeartbeatChecked after each check.
  std::atomic<char> heartbeat{kHeartbeatAlive};
  // 1 while the public address is not one of the machine's own (a router translates); 0 once
  // the servers reported an address the machine holds itself.
  std::atomic<int> behindRouter{1};
};

// The process's values. Tests give each monitor a record of their own.
MonitorShared& ProcessMonitorShared();

}  // namespace quorin::client
