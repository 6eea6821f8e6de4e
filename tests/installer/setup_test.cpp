// The setup QuorinFree-<version>-setup.exe under 32-bit Wine, in a prefix of its own: a silent
// installation and what it lays out, an installation over the running client and over files
// in use, the uninstaller, and the first page in the system's language.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>

#include "tests/installer/setup_test_support.h"
#include "tests/shell/window_test_support.h"

namespace quorin::setuptest {
namespace {

using shelltest::Environment;
using shelltest::Utf8;
using shelltest::Wide;

const std::wstring kVersion = Wide(QUORIN_SETUP_VERSION);
const std::wstring kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorinFree";
const std::wstring kSettingsKey = L"SOFTWARE\\tilro\\tlHost";
const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The install step's layout, which the setup must lay out whole.
constexpr std::array kLayout = {
    L"QuorinFree.exe",     L"uires.dll",      L"Language.ini",      L"skin\\QuorinFree.ico",
    L"skin\\bitmap11.skn", L"Brenwick.exe",   L"TLDDNSService.exe", L"holdon.exe",
    L"Renvale.dll",        L"K4DDNSUtil.dll", L"QuorinSkin.dll",    L"quorinfree-cli.exe",
    L"uninstall.exe"};

std::wstring Folder() {
  return ProgramFilesFolder() + L"\\QuorinFree";
}
std::wstring InFolder(const std::wstring& name) {
  return Folder() + L"\\" + name;
}
std::wstring StartMenu() {
  return CommonProgramsFolder() + L"\\QuorinFree";
}
std::wstring SetupCommand() {
  return L"\"" + Environment(L"QUORIN_SETUP") + L"\"";
}

std::optional<DWORD> SilentSetup() {
  return RunToEnd(SetupCommand() + L" /S");
}

// The uninstaller runs on from a copy of itself, so it is done when its traces are gone.
bool UninstallFinished() {
  return !RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) &&
         !PathExists(InFolder(L"uninstall.exe"));
}

void ExpectInstalled() {
  for (const wchar_t* file : kLayout)
    EXPECT_TRUE(PathExists(InFolder(file))) << Utf8(file);
  EXPECT_EQ(ShortcutTarget(StartMenu() + L"\\QuorinFree.lnk"), InFolder(L"QuorinFree.exe"));
  EXPECT_EQ(ShortcutTarget(StartMenu() + L"\\Uninstall QuorinFree.lnk"),
            InFolder(L"uninstall.exe"));

  const auto text = [](const wchar_t* name) {
    return RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, name).value_or(L"<missing>");
  };
  EXPECT_EQ(text(L"DisplayName"), L"QuorinFree");
  EXPECT_EQ(text(L"DisplayVersion"), kVersion);
  EXPECT_EQ(text(L"Publisher"), L"Tilro");
  EXPECT_EQ(text(L"DisplayIcon"), InFolder(L"QuorinFree.exe") + L",0");
  EXPECT_EQ(text(L"UninstallString"), L"\"" + InFolder(L"uninstall.exe") + L"\"");
  EXPECT_EQ(text(L"QuietUninstallString"), L"\"" + InFolder(L"uninstall.exe") + L"\" /S");
  EXPECT_EQ(text(L"InstallLocation"), Folder());
  // The programs of a release build take megabytes.
  EXPECT_GT(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize").value_or(0), 1024u);
  EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoModify"), 1u);
  EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoRepair"), 1u);
}

// Installs, upgrades over a running client and over files in use, and uninstalls: each step
// starts from the state the one before it left, as on a user's machine.
TEST(SetupTest, InstallUpgradeAndUninstall) {
  ASSERT_FALSE(PathExists(Folder())) << "the prefix is not fresh";

  {
    SCOPED_TRACE("silent installation");
    ASSERT_EQ(SilentSetup(), 0u);
    ExpectInstalled();
  }

  // What a user's installation gathers: accounts, a log, settings, a version recorded by an
  // older self-update. No update check, whose updater would hold Brenwick.exe while it runs.
  WriteFileText(InFolder(L"userprofie.dat"), "profiles of the user");
  WriteFileText(InFolder(L"quorin.log"), "events of the user");
  SetRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"isLog", L"1");
  SetRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoVersionCheck", L"0");
  SetRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"curVersion", L"ver4.1.0");

  {
    SCOPED_TRACE("installation over the running client");
    Program client(L"\"" + InFolder(L"QuorinFree.exe") + L"\"");
    ASSERT_NE(WaitForClientWindow(L"QuorinFree ver4.1.0"), nullptr);
    shelltest::TakeScreenshot(L"setup_client_before_upgrade");
    WriteFileText(InFolder(L"Language.ini"), "stale");
    Program setup(SetupCommand() + L" /S");
    // The setup asks the client to end through its exit command; the user confirms.
    ASSERT_TRUE(ConfirmClientExit(client.processId()));
    EXPECT_EQ(setup.WaitForExit(), 0u);
    EXPECT_TRUE(client.WaitForExit(10000).has_value()) << "the client still runs";
    ExpectInstalled();
    EXPECT_NE(FileText(InFolder(L"Language.ini")), "stale") << "the program files were replaced";
    EXPECT_EQ(FileText(InFolder(L"userprofie.dat")), "profiles of the user");
    EXPECT_EQ(FileText(InFolder(L"quorin.log")), "events of the user");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"isLog"), L"1");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"curVersion"), L"ver" + kVersion);
  }

  {
    SCOPED_TRACE("installation over a file in use");
    WriteFileText(InFolder(L"Language.ini"), "stale");
    const HANDLE held = ::CreateFileW(InFolder(L"Brenwick.exe").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SilentSetup(), 2u) << "a silent setup refuses with exit code 2";
    EXPECT_EQ(FileText(InFolder(L"Language.ini")), "stale") << "no file was replaced";
    ::CloseHandle(held);
    ASSERT_EQ(SilentSetup(), 0u);
    EXPECT_NE(FileText(InFolder(L"Language.ini")), "stale");
  }

  // A service that keeps running holds its program; the real one ends at once without an
  // account, so the tests' service program stands in for it.
  const std::wstring testService = WinePath(QUORIN_TEST_SERVICE);
  const auto runTestService = [&] {
    ASSERT_TRUE(::CopyFileW(testService.c_str(), InFolder(L"TLDDNSService.exe").c_str(), FALSE));
    ASSERT_EQ(RunToEnd(L"\"" + InFolder(L"TLDDNSService.exe") + L"\" -Service"), 0u);
    ASSERT_TRUE(StartServiceAndWait(L"TLDDNSService"));
  };

  {
    SCOPED_TRACE("installation while the service runs");
    ASSERT_NO_FATAL_FAILURE(runTestService());
    EXPECT_EQ(SilentSetup(), 0u);
    // The tests' service program is a fraction of the real one's size.
    EXPECT_NE(FileSize(InFolder(L"TLDDNSService.exe")), FileSize(testService))
        << "the service's program was replaced";
  }

  {
    SCOPED_TRACE("uninstallation while the client and the service run");
    ASSERT_NO_FATAL_FAILURE(runTestService());
    SetRegistryText(HKEY_CURRENT_USER, kRunKey, L"Quorin", InFolder(L"QuorinFree.exe"));
    SetRegistryText(HKEY_CURRENT_USER, kRunKey, L"SomeoneElse", L"C:\\other.exe");
    Program client(L"\"" + InFolder(L"QuorinFree.exe") + L"\"");
    ASSERT_NE(WaitForClientWindow(L"QuorinFree ver" + kVersion), nullptr);

    Program uninstaller(L"\"" + InFolder(L"uninstall.exe") + L"\" /S");
    ASSERT_TRUE(ConfirmClientExit(client.processId()));
    ASSERT_TRUE(shelltest::WaitUntil(UninstallFinished, std::chrono::seconds(180)));
    EXPECT_TRUE(client.WaitForExit(10000).has_value()) << "the client still runs";

    for (const wchar_t* file : kLayout)
      EXPECT_FALSE(PathExists(InFolder(file))) << Utf8(file);
    EXPECT_FALSE(PathExists(InFolder(L"skin")));
    EXPECT_FALSE(PathExists(StartMenu()));
    EXPECT_FALSE(ServiceInstalled(L"TLDDNSService"));
    EXPECT_FALSE(RegistryText(HKEY_CURRENT_USER, kRunKey, L"Quorin").has_value());
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kRunKey, L"SomeoneElse"), L"C:\\other.exe");
    // A silent uninstallation keeps the user's data.
    EXPECT_EQ(FileText(InFolder(L"userprofie.dat")), "profiles of the user");
    EXPECT_EQ(FileText(InFolder(L"quorin.log")), "events of the user");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"isLog"), L"1");
  }
}

// The setup's next button once it reads `text` (without its accelerator mark), or null.
HWND WaitForNextButtonText(const Program& program, const std::wstring& text) {
  HWND found = nullptr;
  shelltest::WaitUntil([&] {
    found = shelltest::FindWindowWithControls(program.processId(), {IDOK, IDCANCEL});
    if (found == nullptr || !::IsWindowEnabled(::GetDlgItem(found, IDOK)))
      return false;
    std::wstring label = shelltest::ControlText(found, IDOK);
    std::erase(label, L'&');
    return label == text;
  });
  return found;
}

// Walks the pages into a folder of the user's choice and starts the client from the last
// page; the uninstaller, asked to, takes the user's data with it.
TEST(SetupTest, PagesStartTheClientAndUninstallRemovesDataOnRequest) {
  const std::wstring folder = L"C:\\Tools\\QuorinFree";
  Program setup(SetupCommand() + L" /D=" + folder);
  for (const wchar_t* button : {L"Next >", L"Install", L"Finish"}) {
    const HWND page = WaitForNextButtonText(setup, button);
    ASSERT_NE(page, nullptr) << Utf8(button);
    if (std::wstring(button) == L"Finish")
      shelltest::TakeScreenshot(L"setup_finish_page_en");
    shelltest::PostButtonClick(page, IDOK);
  }
  EXPECT_EQ(setup.WaitForExit(), 0u);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation"), folder);
  const HWND client = WaitForClientWindow(L"QuorinFree ver" + kVersion);
  ASSERT_NE(client, nullptr) << "Start QuorinFree on the last page starts the client";
  DWORD clientProcess = 0;
  ::GetWindowThreadProcessId(client, &clientProcess);

  WriteFileText(folder + L"\\userprofie.dat", "profiles of the user");
  WriteFileText(folder + L"\\quorin.log", "events of the user");
  SetRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, L"isLog", L"1");

  // In place (_?=), so that the test sees the uninstaller's own windows.
  Program uninstaller(L"\"" + folder + L"\\uninstall.exe\" _?=" + folder);
  const HWND confirm = WaitForNextButtonText(uninstaller, L"Uninstall");
  ASSERT_NE(confirm, nullptr);
  shelltest::PostButtonClick(confirm, IDOK);
  ASSERT_TRUE(ConfirmClientExit(clientProcess));
  HWND question = nullptr;
  ASSERT_TRUE(shelltest::WaitUntil([&] {
    question = shelltest::FindWindowWithControls(uninstaller.processId(), {IDYES, IDNO});
    return question != nullptr;
  }));
  shelltest::PostButtonClick(question, IDNO);  // do not keep the data
  const HWND done = WaitForNextButtonText(uninstaller, L"Close");
  ASSERT_NE(done, nullptr);
  shelltest::PostButtonClick(done, IDOK);
  EXPECT_EQ(uninstaller.WaitForExit(), 0u);

  EXPECT_FALSE(PathExists(folder + L"\\QuorinFree.exe"));
  EXPECT_FALSE(PathExists(folder + L"\\userprofie.dat"));
  EXPECT_FALSE(PathExists(folder + L"\\quorin.log"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  // An uninstaller run in place cannot remove its own file.
  ::DeleteFileW((folder + L"\\uninstall.exe").c_str());
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str())) << "nothing else was left in the folder";
}

// The first page shows in the language of the system (run in English and in Chinese); the
// screenshot is artifacts/setup_first_page_<tag>.png.
TEST(SetupTest, FirstPageInTheSystemLanguage) {
  const std::wstring tag = Environment(L"QUORIN_SETUP_TAG");
  Program setup(SetupCommand());
  ASSERT_TRUE(setup.started());
  HWND page = nullptr;
  // The welcome page: the outer window with Next (1) and Cancel (2).
  ASSERT_TRUE(shelltest::WaitUntil([&] {
    page = shelltest::FindWindowWithControls(setup.processId(), {IDOK, IDCANCEL});
    return page != nullptr;
  }));
  const std::wstring caption = shelltest::WindowText(page);
  EXPECT_EQ(caption, tag == L"zh" ? L"QuorinFree 安装" : L"QuorinFree Setup");
  EXPECT_TRUE(shelltest::TakeScreenshot(L"setup_first_page_" + tag));
  shelltest::PostButtonClick(page, IDCANCEL);
  EXPECT_TRUE(setup.WaitForExit(60000).has_value());
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey))
      << "cancelling on the first page installs nothing";
}

}  // namespace
}  // namespace quorin::setuptest
