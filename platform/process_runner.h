// Starting other programs of the installation (the service program, the update batch).
#pragma once

#include <string_view>

namespace quorin::platform {

// What RunCommand returns when there was nothing to start or the start failed.
inline constexpr int kRunFailed = -1;

// Starts the program that a command line names, detached from any console and without
// inheriting this process's handles. The program is found the system's way (on Windows the
// program's own directory first, then the system directories and the search path).
//
// Returns kRunFailed for an empty command line or a failed start. With `wait`, waits without a
// time limit for the program to end and returns its exit code; otherwise returns 0 at once,
// whatever the program does later.
//
// The command line is never handed to a shell. On POSIX systems it is split into words at
// blanks, and a pair of double quotes keeps blanks inside one word.
int RunCommand(std::string_view commandLine, bool wait);

}  // namespace quorin::platform
