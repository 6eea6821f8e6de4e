#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/html_dialog.h"
#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "platform/shell_folders.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

std::string TempPath(const char* name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return Utf8FromWide(folder) + name;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(RunCommandWin32Test, ExitCodesAndFailures) {
  EXPECT_EQ(RunCommand("cmd.exe /c exit 3", true), 3);
  EXPECT_EQ(RunCommand("cmd.exe /c exit 5", false), 0);
  EXPECT_EQ(RunCommand("", true), kRunFailed);
  EXPECT_EQ(RunCommand("no-such-program-of-quorin.exe -Service", true), kRunFailed);
}

TEST(ShellFilesWin32Test, SpecialFoldersAndShortcutFiles) {
  const auto desktop = SpecialFolderPath(kDesktopFolder);
  ASSERT_TRUE(desktop.has_value());
  EXPECT_FALSE(desktop->empty());
  EXPECT_NE(desktop->find(':'), std::string::npos) << *desktop;
  EXPECT_TRUE(SpecialFolderPath(kCommonProgramsFolder).has_value());

  // Chinese names survive the round trip through the wide functions.
  const std::string from = TempPath("quorin 旧.lnk");
  const std::string to = TempPath("quorin 新.lnk");
  DeleteFileAt(to);
  HANDLE file = ::CreateFileW(WideFromUtf8(from).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  EXPECT_TRUE(RenameFileAt(from, to));
  EXPECT_TRUE(Exists(to));
  EXPECT_FALSE(Exists(from));
  EXPECT_FALSE(RenameFileAt(from, to));
  EXPECT_TRUE(DeleteFileAt(to));
  EXPECT_FALSE(DeleteFileAt(to));
}

TEST(DesktopTiesWin32Test, UnknownServiceReadsAsNotInstalled) {
  EXPECT_EQ(QueryServiceState("QuorinNoSuchService"), kServiceNotInstalled);
  StartServiceByName("QuorinNoSuchService");
  StopServiceByName("");
}

TEST(DesktopTiesWin32Test, HtmlDialogWithoutItsEngineShowsNothing) {
  // The test runs with Wine's HTML engine switched off (WINEDLLOVERRIDES), as on a machine
  // whose MSHTML cannot be loaded.
  ASSERT_EQ(::LoadLibraryW(L"MSHTML.DLL"), nullptr);
  EXPECT_EQ(ShowHtmlPage("http://127.0.0.1/ddns_client/ddns_client_tlerp_frame.php"), 0);
  EXPECT_EQ(ShowHtmlPage(""), 0);
}

}  // namespace
}  // namespace quorin::platform
