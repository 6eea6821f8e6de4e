#include "client/local/shortcuts.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "platform/memory_settings_store.h"
#include "platform/shell_folders.h"

namespace quorin::client {
namespace {

// A desktop made of a set of file paths, with Windows' separator and rename rules.
class FakeFolders : public ShortcutFolders {
 public:
  std::map<int, std::string> folders{
      {platform::kDesktopFolder, "C:\\Users\\me\\Desktop"},
      {platform::kCommonProgramsFolder, "C:\\ProgramData\\Start Menu\\Programs"}};
  std::set<std::string> files;
  int operations = 0;

  std::optional<std::string> FolderPath(int folderId) override {
    const auto found = folders.find(folderId);
    if (found == folders.end())
      return std::nullopt;
    return found->second;
  }
  char Separator() const override { return '\\'; }
  bool Rename(const std::string& from, const std::string& to) override {
    ++operations;
    if (!files.contains(from) || files.contains(to))
      return false;
    files.erase(from);
    files.insert(to);
    return true;
  }
  bool Remove(const std::string& path) override {
    ++operations;
    return files.erase(path) == 1;
  }
};

class NoAutoStart : public platform::AutoStartEntry {
 public:
  std::optional<std::string> Read() override { return std::nullopt; }
  bool Write(std::string_view) override { return false; }
  bool Remove() override { return true; }
};

constexpr const char* kDesktopLink = "C:\\Users\\me\\Desktop\\\\Quorin.lnk";
constexpr const char* kMenu = "C:\\ProgramData\\Start Menu\\Programs\\Tilro\\";

TEST(ShortcutPathTest, JoinsFolderSubfolderAndName) {
  EXPECT_EQ(ShortcutPath("C:\\Menu", "Tilro", "Quorin", '\\'), "C:\\Menu\\Tilro\\Quorin.lnk");
  // An empty sub-folder keeps its separator: the system reads the doubled one as one.
  EXPECT_EQ(ShortcutPath("C:\\Desk", "", "Quorin", '\\'), "C:\\Desk\\\\Quorin.lnk");
  EXPECT_EQ(ShortcutPath("/home/me/Desktop", "", "a b", '/'), "/home/me/Desktop//a b.lnk");
}

TEST(ShortcutMigrationTest, RenamesAndDeletesTheOldShortcutsOnce) {
  platform::MemorySettingsStore store;
  NoAutoStart autoStart;
  Settings settings(store, autoStart, "C:\\QuorinFree\\QuorinFree.exe");
  FakeFolders folders;
  const std::string menu = kMenu;
  folders.files = {kDesktopLink, menu + "Quorin.lnk", menu + "tilro.chm.lnk",
                   menu + "卸载 Tilro动态域名客户端--Quorin.lnk", menu + "Other.lnk"};

  EXPECT_TRUE(MigrateOldShortcuts(settings, folders));
  EXPECT_EQ(folders.files, (std::set<std::string>{"C:\\Users\\me\\Desktop\\\\tlHost客户端.lnk",
                                                  menu + "tlHost客户端.lnk", menu + "帮助文件.lnk",
                                                  menu + "Other.lnk"}));
  EXPECT_EQ(settings.ReadSetting("afterV303"), "1");

  // The marker makes a second start leave everything alone.
  folders.files.insert(kDesktopLink);
  const int before = folders.operations;
  EXPECT_FALSE(MigrateOldShortcuts(settings, folders));
  EXPECT_EQ(folders.operations, before);
  EXPECT_TRUE(folders.files.contains(kDesktopLink));
}

TEST(ShortcutMigrationTest, AnyMarkerValueCountsAsDone) {
  for (const char* marker : {"0", "", "no"}) {
    platform::MemorySettingsStore store;
    NoAutoStart autoStart;
    Settings settings(store, autoStart, "");
    settings.WriteSetting("afterV303", marker);
    FakeFolders folders;
    folders.files = {kDesktopLink};
    EXPECT_FALSE(MigrateOldShortcuts(settings, folders)) << marker;
    EXPECT_EQ(folders.operations, 0) << marker;
    EXPECT_EQ(settings.ReadSetting("afterV303"), marker);
  }
}

TEST(ShortcutMigrationTest, MissingShortcutsAndFoldersStillWriteTheMarker) {
  platform::MemorySettingsStore store;
  NoAutoStart autoStart;
  Settings settings(store, autoStart, "");
  FakeFolders folders;
  folders.folders.erase(platform::kCommonProgramsFolder);  // a system without that folder
  const std::string taken = "C:\\Users\\me\\Desktop\\\\tlHost客户端.lnk";
  folders.files = {kDesktopLink, taken};  // the new name is taken: nothing is replaced

  EXPECT_TRUE(MigrateOldShortcuts(settings, folders));
  EXPECT_EQ(folders.files, (std::set<std::string>{kDesktopLink, taken}));
  EXPECT_EQ(settings.ReadSetting("afterV303"), "1");
}

}  // namespace
}  // namespace quorin::client
