// The desktop's special folders and the files in them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorin::platform {

// Folder numbers as the Windows shell names them (CSIDL values).
inline constexpr int kDesktopFolder = 0;          // the user's desktop
inline constexpr int kCommonProgramsFolder = 23;  // the start menu's programs of all users

// The file-system path of a special folder; nothing when the system has no such folder.
std::optional<std::string> SpecialFolderPath(int folderId);

// Deletes a file. False when it did not exist or could not be deleted.
bool DeleteFileAt(std::string_view path);

// Renames a file. False when the source is missing, the target already exists, or the rename
// failed; an existing target is never replaced.
bool RenameFileAt(std::string_view from, std::string_view to);

}  // namespace quorin::platform
