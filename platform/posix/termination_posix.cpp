#include <signal.h>

#include <atomic>

#include "platform/termination.h"

namespace quorin::platform {
namespace {

// Written from the signal handler: a lock-free atomic is async-signal-safe.
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnTerminationSignal(int) {
  g_requested.store(true);
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  // A closed output pipe must not end the process in the middle of a save.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
  // A file-size limit (ulimit -f, systemd's LimitFSIZE=) must make a write fail as a full disk
  // does, losing one log entry whole, instead of ending a client that runs for months.
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

bool TerminationRequested() {
  return g_requested.load();
}

}  // namespace quorin::platform
