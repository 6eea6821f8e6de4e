// The program's command-line arguments as UTF-8, its own name first.
#pragma once

#include <string>
#include <vector>

namespace quorin::platform {

// On Windows the arguments are read from the UTF-16 command line and converted once: the C
// runtime's argv holds the ANSI code page and has already put '?' in place of what that code
// page cannot write. On POSIX, argv as given (the system's texts are UTF-8).
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace quorin::platform
