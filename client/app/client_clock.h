// The windowed client's clock. Normally the real one; "--time-scale N" (tests, the
// demonstration) makes the monitor's minutes and the window's timers run N times faster, so
// that a test sees the 30-second login retry without waiting 30 seconds.
#pragma once

#include <windows.h>

namespace quorin::client {

// Installs the clock for the process from now until Uninstall (start-up and exit).
void InstallClientClock(double timeScale);
void UninstallClientClock();

// The period of a window timer that is to fire every `clientMs` of the client's clock.
UINT ClientTimerPeriod(UINT clientMs);

}  // namespace quorin::client
