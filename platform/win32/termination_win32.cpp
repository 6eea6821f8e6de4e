#include <windows.h>

#include <atomic>

#include "platform/termination.h"

namespace quorin::platform {
namespace {

std::atomic<bool> g_requested{false};

BOOL WINAPI OnConsoleControl(DWORD) {
  g_requested.store(true);
  return TRUE;  // handled: the program ends by itself
}

}  // namespace

void InstallTerminationHandlers() {
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool TerminationRequested() {
  return g_requested.load();
}

}  // namespace quorin::platform
