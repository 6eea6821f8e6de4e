#include "client/app/client_clock.h"

#include <algorithm>
#include <optional>

#include "platform/clock.h"

namespace quorin::client {
namespace {

// Only the UI thread installs and reads these, before the monitor starts and after it ended.
double g_timeScale = 1.0;
std::optional<platform::ScaledClock> g_scaledClock;
std::optional<platform::ScopedClockOverride> g_override;

}  // namespace

void InstallClientClock(double timeScale) {
  UninstallClientClock();
  if (timeScale <= 1.0)
    return;
  g_timeScale = timeScale;
  g_scaledClock.emplace(timeScale, platform::SystemClock().LocalTime());
  g_override.emplace(*g_scaledClock);
}

void UninstallClientClock() {
  g_override.reset();
  g_scaledClock.reset();
  g_timeScale = 1.0;
}

UINT ClientTimerPeriod(UINT clientMs) {
  const double period = static_cast<double>(clientMs) / g_timeScale;
  return std::max<UINT>(1, static_cast<UINT>(period));
}

}  // namespace quorin::client
