#include "client/local/shortcuts.h"

#include "platform/program_folder.h"
#include "platform/shell_folders.h"

namespace quorin::client {
namespace {

class SystemFolders : public ShortcutFolders {
 public:
  std::optional<std::string> FolderPath(int folderId) override {
    return platform::SpecialFolderPath(folderId);
  }
  char Separator() const override { return platform::PathSeparator(); }
  bool Rename(const std::string& from, const std::string& to) override {
    return platform::RenameFileAt(from, to);
  }
  bool Remove(const std::string& path) override { return platform::DeleteFileAt(path); }
};

std::optional<std::string> SubfolderPath(ShortcutFolders& folders, int folderId,
                                         std::string_view subfolder) {
  auto folder = folders.FolderPath(folderId);
  if (!folder)
    return std::nullopt;
  std::string path = std::move(*folder);
  path += folders.Separator();
  path += subfolder;
  return path;
}

std::string LinkFile(std::string_view directory, std::string_view name, char separator) {
  std::string path(directory);
  path += separator;
  path += name;
  path += ".lnk";
  return path;
}

// The names that the old installer used and the ones that replaced them.
constexpr std::string_view kOldProgramShortcut = "Quorin";
constexpr std::string_view kNewProgramShortcut = "tlHost客户端";
constexpr std::string_view kOldHelpShortcut = "tilro.chm";
constexpr std::string_view kNewHelpShortcut = "帮助文件";
constexpr std::string_view kUninstallShortcut = "卸载 Tilro动态域名客户端--Quorin";
constexpr std::string_view kStartMenuFolder = "Tilro";

}  // namespace

ShortcutFolders& SystemShortcutFolders() {
  static SystemFolders folders;
  return folders;
}

std::string ShortcutPath(std::string_view folder, std::string_view subfolder, std::string_view name,
                         char separator) {
  std::string directory(folder);
  directory += separator;
  directory += subfolder;
  return LinkFile(directory, name, separator);
}

void RenameShortcut(ShortcutFolders& folders, int folderId, std::string_view subfolder,
                    std::string_view oldName, std::string_view newName) {
  const auto directory = SubfolderPath(folders, folderId, subfolder);
  if (!directory)
    return;
  const char separator = folders.Separator();
  folders.Rename(LinkFile(*directory, oldName, separator),
                 LinkFile(*directory, newName, separator));
}

void DeleteShortcut(ShortcutFolders& folders, int folderId, std::string_view subfolder,
                    std::string_view name) {
  const auto directory = SubfolderPath(folders, folderId, subfolder);
  if (!directory)
    return;
  folders.Remove(LinkFile(*directory, name, folders.Separator()));
}

bool MigrateOldShortcuts(Settings& settings, ShortcutFolders& folders) {
  if (settings.ShortcutsRenamed())
    return false;
  RenameShortcut(folders, platform::kDesktopFolder, "", kOldProgramShortcut, kNewProgramShortcut);
  RenameShortcut(folders, platform::kCommonProgramsFolder, kStartMenuFolder, kOldProgramShortcut,
                 kNewProgramShortcut);
  RenameShortcut(folders, platform::kCommonProgramsFolder, kStartMenuFolder, kOldHelpShortcut,
                 kNewHelpShortcut);
  DeleteShortcut(folders, platform::kCommonProgramsFolder, kStartMenuFolder, kUninstallShortcut);
  settings.MarkShortcutsRenamed();
  return true;
}

}  // namespace quorin::client
