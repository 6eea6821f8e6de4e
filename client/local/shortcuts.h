// The shortcuts that the installation puts on the desktop and into the start menu, and their
// one-time renaming for installations older than version 3.03.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "client/local/settings.h"

namespace quorin::client {

// The desktop side of the shortcut operations; the system's by default, a fake in tests.
class ShortcutFolders {
 public:
  virtual ~ShortcutFolders() = default;
  // The path of a special folder (platform::kDesktopFolder, platform::kCommonProgramsFolder).
  virtual std::optional<std::string> FolderPath(int folderId) = 0;
  virtual char Separator() const = 0;
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  virtual bool Remove(const std::string& path) = 0;
};

ShortcutFolders& SystemShortcutFolders();

// The file of a shortcut: the folder and the sub-folder joined by the separator, and that
// joined the same way with the name followed by ".lnk". An empty sub-folder still leaves its
// separator ("Desktop\\" + "\\Quorin.lnk"), which the file system reads as one.
std::string ShortcutPath(std::string_view folder, std::string_view subfolder, std::string_view name,
                         char separator);

// Renames the shortcut `oldName` of a special folder's sub-folder to `newName`. Every failure
// (no such folder, no such shortcut, the new name taken) is silent.
void RenameShortcut(ShortcutFolders& folders, int folderId, std::string_view subfolder,
                    std::string_view oldName, std::string_view newName);

// Deletes the shortcut `name` of a special folder's sub-folder. Every failure is silent.
void DeleteShortcut(ShortcutFolders& folders, int folderId, std::string_view subfolder,
                    std::string_view name);

// Renames the shortcuts that installations before version 3.03 made, once per machine: only
// while the settings have no "afterV303" value (whatever it holds), which it writes afterwards
// even when no shortcut was there. True when the renaming ran.
bool MigrateOldShortcuts(Settings& settings, ShortcutFolders& folders);

}  // namespace quorin::client
