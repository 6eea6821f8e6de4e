// The user's request to end a program without windows: Ctrl-C or SIGTERM on POSIX systems,
// the console's control events (Ctrl-C, Ctrl-Break, closing the console, log-off, shut-down)
// on Windows.
#pragma once

namespace quorin::platform {

// Installs the handlers. From then on such a request no longer ends the process at once; the
// program sees it through TerminationRequested() and ends by itself.
void InstallTerminationHandlers();

// True once a request to end has arrived.
bool TerminationRequested();

}  // namespace quorin::platform
