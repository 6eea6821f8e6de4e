// Running a program of the installation with administrator rights. On Windows this goes
// through the shell's "runas" verb: the system shows its User Account Control prompt once, and
// the user may decline it. Elsewhere the program simply runs.
#pragma once

#include <chrono>
#include <string_view>

namespace quorin::platform {

enum class ElevatedRunStatus {
  kFinished,    // the program ran and ended; `exitCode` holds its code
  kDeclined,    // the user declined the prompt: nothing was started
  kNotStarted,  // the program could not be started (missing, or the system refused)
  kTimedOut,    // still running when the time was up; it is left to finish on its own
};

struct ElevatedRunResult {
  ElevatedRunStatus status = ElevatedRunStatus::kNotStarted;
  int exitCode = -1;
};

// Starts `program` with `parameters` and waits up to `limit` for it to end. A program named
// without a directory is the one beside the running program: a program started with
// administrator rights is never looked for along the search path. `ownerWindow` (a window
// handle, or null) owns the prompt, so that it comes up in front of that window.
//
// Blocks while the prompt is up and while the program runs: callers on a window's thread run it
// on a worker and keep their window answering.
ElevatedRunResult RunElevated(std::string_view program, std::string_view parameters,
                              std::chrono::milliseconds limit, void* ownerWindow = nullptr);

}  // namespace quorin::platform
