// Start-up of the installed client: the resource library, one client per version, the update
// hand-off, the one-word delete and the shortcut renaming.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Environment(L"QUORIN_SHELL_INSTALL").empty());
    ResetClientSettings();
  }
};

TEST_F(StartUpTest, WithoutTheResourceLibraryThePlainMessageShowsAndTheClientEnds) {
  InstallCopy install;
  install.Remove(L"uires.dll");
  ClientRun run(install);
  ASSERT_TRUE(run.started());
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (const HWND window : VisibleWindowsOfProcess(run.processId())) {
      for (const std::wstring& text : ChildTexts(window)) {
        if (text == L"can't load resource!")
          box = window;
      }
    }
    return box != nullptr;
  }));
  // The system's own message box: no countdown, no main window.
  EXPECT_EQ(::GetDlgItem(box, IDC_MESSAGE_COUNTDOWN), nullptr);
  EXPECT_EQ(run.MainWindow(300), nullptr);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(run.WaitForExit().has_value());
}

TEST_F(StartUpTest, ASecondStartOfTheSameVersionShowsTheFirstAndEnds) {
  InstallCopy install;
  ClientRun first(install);
  // Shown once through the tray icon, so that its hiding first frame paints are spent.
  const HWND window = first.ShowMainWindow();
  ASSERT_NE(window, nullptr);
  ::ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(window) != FALSE; }));

  ClientRun second(install);
  const auto code = second.WaitForExit();
  ASSERT_TRUE(code.has_value()) << "the second start must end by itself";
  EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(window) && ::IsWindowVisible(window); }))
      << "the first client's window is shown in its normal state";
  EXPECT_EQ(::GetForegroundWindow(), window);
  EXPECT_TRUE(first.Running());

  // Another version has another title and does not see the first client.
  SetClientSetting("curVersion", "ver9.9.9");
  ClientRun other(install);
  const HWND otherWindow = other.MainWindow();
  ASSERT_NE(otherWindow, nullptr);
  EXPECT_NE(otherWindow, window);
  EXPECT_EQ(WindowText(otherWindow), L"QuorinFree ver9.9.9");
  EXPECT_TRUE(other.ExitThroughTheButton());
  EXPECT_TRUE(first.ExitThroughTheButton());
}

TEST_F(StartUpTest, AnUpdateThatTakesOverEndsTheClientSilently) {
  InstallCopy install;
  install.Replace(L"Renvale.dll", Environment(L"QUORIN_SHELL_BIN") + L"\\takeover\\Renvale.dll");
  ClientRun run(install);
  ASSERT_TRUE(run.started());
  const auto code = run.WaitForExit();
  ASSERT_TRUE(code.has_value());
  EXPECT_TRUE(VisibleWindowsOfProcess(run.processId()).empty());
  // The hand-off got string 57728, HKEY_LOCAL_MACHINE and the settings key.
  EXPECT_EQ(ReadFileText(install.File(L"renvale_call.txt")),
            "QuorinFree\n2147483650\nSOFTWARE\\tilro\\tlHost\n");
}

TEST_F(StartUpTest, OneWordOnTheCommandLineDeletesThatFile) {
  InstallCopy install;
  const auto makeFiles = [&] {
    for (const wchar_t* name : {L"victim.txt", L"a.txt", L"b.txt"})
      install.Write(name, "x");
  };
  // The word is a path relative to the program's folder, whatever folder the client started in.
  wchar_t elsewhere[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, elsewhere);
  const struct {
    const wchar_t* arguments;
    std::vector<const wchar_t*> deleted;
  } cases[] = {
      {L"victim.txt", {L"victim.txt"}},
      {L"a.txt b.txt", {}},   // two words
      {L"victim.txt ", {}},   // a trailing blank makes a second, empty word
      {L"a.txt  b.txt", {}},  // two blanks: the second word begins with a blank
      {L"", {}},
  };
  for (const auto& testCase : cases) {
    makeFiles();
    ClientRun run(install, testCase.arguments, elsewhere);
    ASSERT_NE(run.MainWindow(), nullptr) << Utf8(testCase.arguments);
    for (const wchar_t* name : {L"victim.txt", L"a.txt", L"b.txt"}) {
      bool expectDeleted = false;
      for (const wchar_t* deleted : testCase.deleted)
        expectDeleted |= std::wstring(deleted) == name;
      EXPECT_EQ(install.Has(name), !expectDeleted)
          << Utf8(name) << " after \"" << Utf8(testCase.arguments) << "\"";
    }
    EXPECT_TRUE(run.ExitThroughTheButton());
  }
}

std::wstring FolderOf(int id) {
  wchar_t path[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, id | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

TEST_F(StartUpTest, TheOldShortcutsAreRenamedOnceAndTheMarkerStopsIt) {
  const std::wstring desktop = FolderOf(CSIDL_DESKTOPDIRECTORY);
  const std::wstring menu = FolderOf(CSIDL_COMMON_PROGRAMS) + L"\\Tilro";
  ::CreateDirectoryW(menu.c_str(), nullptr);
  const auto touch = [](const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ::CloseHandle(file);
  };
  const std::wstring oldDesktop = desktop + L"\\Quorin.lnk";
  const std::wstring newDesktop = desktop + L"\\tlHost客户端.lnk";
  const std::wstring oldMenu = menu + L"\\Quorin.lnk";
  const std::wstring newMenu = menu + L"\\tlHost客户端.lnk";
  const std::wstring oldHelp = menu + L"\\tilro.chm.lnk";
  const std::wstring newHelp = menu + L"\\帮助文件.lnk";
  const std::wstring uninstall = menu + L"\\卸载 Tilro动态域名客户端--Quorin.lnk";
  const auto reset = [&] {
    for (const auto* path : {&newDesktop, &newMenu, &newHelp})
      ::DeleteFileW(path->c_str());
    for (const auto* path : {&oldDesktop, &oldMenu, &oldHelp, &uninstall})
      touch(*path);
  };

  InstallCopy install;
  // A marker of any value means: already done.
  reset();
  SetClientSetting("afterV303", "0");
  {
    ClientRun run(install);
    ASSERT_NE(run.MainWindow(), nullptr);
    EXPECT_TRUE(run.ExitThroughTheButton());
  }
  for (const auto* path : {&oldDesktop, &oldMenu, &oldHelp, &uninstall}) {
    EXPECT_TRUE(FileExists(*path)) << Utf8(*path);
  }
  EXPECT_EQ(ClientSetting("afterV303"), "0");

  // Without the marker the shortcuts get their new names once.
  RemoveClientSetting("afterV303");
  {
    ClientRun run(install);
    ASSERT_NE(run.MainWindow(), nullptr);
    EXPECT_TRUE(run.ExitThroughTheButton());
  }
  for (const auto* path : {&newDesktop, &newMenu, &newHelp}) {
    EXPECT_TRUE(FileExists(*path)) << Utf8(*path);
  }
  for (const auto* path : {&oldDesktop, &oldMenu, &oldHelp, &uninstall}) {
    EXPECT_FALSE(FileExists(*path)) << Utf8(*path);
  }
  EXPECT_EQ(ClientSetting("afterV303"), "1");

  for (const auto* path : {&newDesktop, &newMenu, &newHelp})
    ::DeleteFileW(path->c_str());
  ::RemoveDirectoryW(menu.c_str());
}

}  // namespace
}  // namespace quorin::shelltest
