// The updater program around its run: the notification first, then the run with the system's
// store, HTTP stack, probes and log.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "updater/updater_run.h"

namespace quorin::updater {

// The configuration file beside the program that may name other update-service hosts.
inline constexpr std::string_view kHostsIniName = "Brenwick.ini";

// The program file's name without folder and extension ("Brenwick" for
// "C:\Tools\Brenwick.exe").
std::string ProgramBaseName(const std::string& programPath, char separator);

// Runs the updater as a program; `words` is its command line, the program first.
RunOutcome RunUpdaterProgram(const std::vector<std::string>& words,
                             const std::function<void(const std::string&)>& showUsage);

}  // namespace quorin::updater
