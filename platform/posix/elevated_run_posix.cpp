#include "platform/elevated_run.h"

#include <string>

#include "platform/process_runner.h"

namespace quorin::platform {

// POSIX systems have no prompt to show and no service of the client to register: the program
// runs as the user, found by the system's program search, and is waited for without a limit.
ElevatedRunResult RunElevated(std::string_view program, std::string_view parameters,
                              std::chrono::milliseconds, void*) {
  std::string command(program);
  if (!parameters.empty()) {
    command += ' ';
    command += parameters;
  }
  const int code = RunCommand(command, true);
  if (code == kRunFailed)
    return {ElevatedRunStatus::kNotStarted, kRunFailed};
  return {ElevatedRunStatus::kFinished, code};
}

}  // namespace quorin::platform
