// The system's service manager: starting, stopping and asking for the state of a service by
// its name. Failures are silent; the state query tells them apart. Each call connects to the
// manager only and asks the service for the one right it needs (start, stop, query status;
// interrogation on a handle of its own), so users whom the service's access list allows these
// (see platform/win32/service_security.h) need no administrator rights.
#pragma once

#include <string_view>

namespace quorin::platform {

// States as the service manager reports them.
inline constexpr int kServiceStopped = 1;
inline constexpr int kServiceStartPending = 2;
inline constexpr int kServiceStopPending = 3;
inline constexpr int kServiceRunning = 4;
inline constexpr int kServiceContinuePending = 5;
inline constexpr int kServicePausePending = 6;
inline constexpr int kServicePaused = 7;
// The service manager cannot be reached, or the state cannot be read.
inline constexpr int kServiceStateUnknown = -1;
// The service cannot be opened: the client reads this as "not installed".
inline constexpr int kServiceNotInstalled = 0x10000000;

// Starts the service without arguments. An empty name does nothing.
void StartServiceByName(std::string_view name);

// Sends the stop control to the service. An empty name does nothing.
void StopServiceByName(std::string_view name);

// The service's state (one of the constants above). A running service is asked once more
// (the interrogate control), so that the answer is the service's own word and not what the
// manager last remembered.
int QueryServiceState(std::string_view name);

}  // namespace quorin::platform
