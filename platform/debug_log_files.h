// Where the updater's debug log goes, and the marker file whose presence switches it on.
#pragma once

#include <string>

namespace quorin::platform {

struct DebugLogFiles {
  std::string marker;  // logging is on while this file exists
  std::string log;     // the log, appended to
};

// Windows: "C:\BRWK_EnableDebug" and "C:\Brenwick.log". POSIX: "BRWK_EnableDebug" and
// "Brenwick.log" in the settings store's directory ($QUORINFREE_STORE, else the default).
DebugLogFiles UpdaterDebugLogFiles();

}  // namespace quorin::platform
