// Where the running program lives.
#pragma once

#include <optional>
#include <string>

namespace quorin::platform {

// The full path of the running program file.
std::optional<std::string> ProgramPath();

// The directory of the running program file: its full path up to (not including) the last
// path separator.
std::optional<std::string> ProgramDirectory();

}  // namespace quorin::platform
