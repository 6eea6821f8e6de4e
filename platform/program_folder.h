// The folder of the running program as a path prefix, for files that live beside the program.
#pragma once

#include <optional>
#include <string>

namespace quorin::platform {

// The separator between the parts of a path: '\' on Windows, '/' elsewhere.
char PathSeparator();

// The full path of the running program file up to and including its last separator (for
// example "C:\Program Files\Quorin\"), as the system reports it.
std::optional<std::string> ProgramFolder();

}  // namespace quorin::platform
