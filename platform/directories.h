// Folders: whether one exists, making one, and the user's folder for temporary files.
#pragma once

#include <string>
#include <string_view>

namespace quorin::platform {

// True when `path` names an existing directory (not a file).
bool DirectoryExists(std::string_view path);

// Makes one directory with normal attributes; its parent must exist. True when it was made.
bool MakeDirectory(std::string_view path);

// The user's folder for temporary files as the system gives it, ending in a path separator
// ("C:\Users\ann\AppData\Local\Temp\" on Windows; $TMPDIR or "/tmp/" elsewhere).
std::string TemporaryDirectory();

}  // namespace quorin::platform
