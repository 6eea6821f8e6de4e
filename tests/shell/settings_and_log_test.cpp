// The installed client's settings dialog and log dialog, driven through window messages: the
// stored options shown on opening and written back on OK, a refused number, a service that
// another tool installed, and the log's entries with their images and the clear command.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/service_test_support.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void RemoveAutoStartEntry() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, L"Quorin");
    ::RegCloseKey(key);
  }
}

bool Checked(HWND dialog, int id) {
  return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Clicks a check box the way the user does: its state flips, then the dialog hears of it.
void ClickCheckBox(HWND dialog, int id) {
  ::SendDlgItemMessageW(dialog, id, BM_SETCHECK, Checked(dialog, id) ? BST_UNCHECKED : BST_CHECKED,
                        0);
  PostButtonClick(dialog, id);
}

// One row of a list control in another process: its image and the texts of columns 1 and 2.
// The item record and its text buffer must live in the list's own process.
struct ListRow {
  int image = -1;
  std::wstring message;
  std::wstring time;
};

ListRow ReadListRow(DWORD processId, HWND list, int index) {
  ListRow row;
  const HANDLE process =
      ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (process == nullptr)
    return row;
  constexpr std::size_t kTextChars = 256;
  const std::size_t size = sizeof(LVITEMW) + kTextChars * sizeof(wchar_t);
  auto* remote = static_cast<BYTE*>(
      ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (remote != nullptr) {
    auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    for (int column = 0; column < 3; ++column) {
      LVITEMW item{};
      item.mask = column == 0 ? LVIF_IMAGE : LVIF_TEXT;
      item.iItem = index;
      item.iSubItem = column;
      item.pszText = remoteText;
      item.cchTextMax = kTextChars;
      ::WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
      ::ReadProcessMemory(process, remote, &item, sizeof item, nullptr);
      wchar_t text[kTextChars] = {};
      ::ReadProcessMemory(process, remoteText, text, sizeof text - sizeof(wchar_t), nullptr);
      if (column == 0)
        row.image = item.iImage;
      else
        (column == 1 ? row.message : row.time) = text;
    }
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  ::CloseHandle(process);
  return row;
}

// An edit field's content. GetWindowText of another process's window reads only the window's
// own title, which an edit field does not keep up to date; the message asks the field itself.
std::wstring EditText(HWND dialog, int id) {
  wchar_t text[256] = {};
  ::SendDlgItemMessageW(dialog, id, WM_GETTEXT, 255, reinterpret_cast<LPARAM>(text));
  return text;
}

int ListCount(HWND dialog) {
  return static_cast<int>(::SendDlgItemMessageW(dialog, IDC_LOG_LIST, LVM_GETITEMCOUNT, 0, 0));
}

class SettingsAndLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetClientSettings();
    RemoveAutoStartEntry();
    for (const char* name : {"runAsServic", "isLog", "isAutoDial", "autoMinimize", "maxLog",
                             "defaultAutoDial", "ServerIP"})
      RemoveClientSetting(name);
    RemoveServiceNow(L"TLDDNSService");
  }
  void TearDown() override {
    RemoveServiceNow(L"TLDDNSService");
    ResetClientSettings();
    for (const char* name :
         {"runAsServic", "isLog", "isAutoDial", "maxLog", "defaultAutoDial", "ServerIP"})
      RemoveClientSetting(name);
    SetScreenDpi(96);
  }

  HWND OpenSettings(ClientRun& run, int command) {
    return OpenDialog(run, command, {IDC_SERVICE_MODE, IDC_DIAL_ENTRIES});
  }
  HWND OpenLog(ClientRun& run, int command) {
    return OpenDialog(run, command, {IDC_LOG_LIST, IDC_CLEAR_LOG});
  }

  // Sends `command` to the main window and waits for the client's window that holds
  // `controls`; null when none came.
  HWND OpenDialog(ClientRun& run, int command, const std::vector<int>& controls) {
    const HWND main = run.MainWindow();
    if (main == nullptr)
      return nullptr;
    PostButtonClick(main, command);
    HWND dialog = nullptr;
    WaitUntil([&] {
      dialog = FindWindowWithControls(run.processId(), controls);
      return dialog != nullptr;
    });
    return dialog;
  }

  InstallCopy install_;
};

TEST_F(SettingsAndLogTest, ShowsTheStoredOptionsAndWritesThemBackOnOk) {
  SetClientSetting("isLog", "1");
  SetClientSetting("maxLog", "42");
  SetClientSetting("isAutoDial", "1");
  SetClientSetting("autoLogin", "1");
  SetClientSetting("defaultAutoDial", "7");  // beyond the (empty) phone book
  SetClientSetting("ServerIP", "192.0.2.5");
  ClientRun run(install_);
  const HWND dialog = OpenSettings(run, IDC_OPEN_SETTINGS);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(Checked(dialog, IDC_AUTO_START));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_AUTO_START)));
  EXPECT_FALSE(Checked(dialog, IDC_SERVICE_MODE));
  EXPECT_TRUE(Checked(dialog, IDC_LOG_ENABLED));
  EXPECT_EQ(EditText(dialog, IDC_MAX_LOG), L"42");
  EXPECT_TRUE(Checked(dialog, IDC_AUTO_DIAL));
  EXPECT_TRUE(Checked(dialog, IDC_AUTO_LOGIN));
  EXPECT_FALSE(Checked(dialog, IDC_AUTO_MINIMIZE));
  EXPECT_FALSE(Checked(dialog, IDC_AUTO_VERSION_CHECK)) << "stored as 0 by the test set-up";
  EXPECT_TRUE(Checked(dialog, IDC_WATCH_ROUTER)) << "on while not stored";
  EXPECT_EQ(EditText(dialog, IDC_SERVER_ADDRESS), L"192.0.2.5");
  EXPECT_EQ(::SendDlgItemMessageW(dialog, IDC_DIAL_ENTRIES, LB_GETCOUNT, 0, 0), 0)
      << "Wine has no dial-up entries";
  EXPECT_EQ(ControlText(dialog, IDC_DIAL_ENTRY_NAME), L"NULL");

  // The user turns the update check and autostart on, minimising too, the router watcher off,
  // and edits the server.
  ClickCheckBox(dialog, IDC_AUTO_VERSION_CHECK);
  ClickCheckBox(dialog, IDC_WATCH_ROUTER);
  ClickCheckBox(dialog, IDC_AUTO_START);
  ClickCheckBox(dialog, IDC_AUTO_MINIMIZE);
  ::SetDlgItemTextW(dialog, IDC_SERVER_ADDRESS, L"10.1.1.1");
  PostButtonClick(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));

  EXPECT_EQ(ClientSetting("AutoVersionCheck"), "1");
  EXPECT_EQ(ClientSetting("autoMinimize"), "1");
  EXPECT_EQ(ClientSetting("watchRouter"), "0");
  EXPECT_EQ(ClientSetting("isLog"), "1");
  EXPECT_EQ(ClientSetting("isAutoDial"), "1");
  EXPECT_EQ(ClientSetting("autoLogin"), "1");
  EXPECT_EQ(ClientSetting("runAsServic"), "0");
  EXPECT_EQ(ClientSetting("maxLog"), "42");
  EXPECT_EQ(ClientSetting("defaultAutoDial"), "7") << "an entry beyond the list stays as it was";
  EXPECT_EQ(ClientSetting("ServerIP"), "192.0.2.5") << "the server field is never stored";
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  EXPECT_EQ(::RegQueryValueExW(key, L"Quorin", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS)
      << "the autostart entry";
  ::RegCloseKey(key);
  RemoveAutoStartEntry();
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(SettingsAndLogTest, AMaxLogOutOfRangeIsRefusedAndNothingIsStored) {
  ClientRun run(install_);
  const HWND dialog = OpenSettings(run, ID_MENU_SETTINGS);  // the tray menu's command
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(EditText(dialog, IDC_MAX_LOG), L"100") << "the default";
  ClickCheckBox(dialog, IDC_LOG_ENABLED);
  for (const wchar_t* refused : {L"501", L"-1", L"many"}) {
    ::SetDlgItemTextW(dialog, IDC_MAX_LOG, refused);
    PostButtonClick(dialog, IDOK);
    HWND message = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      for (const HWND window : VisibleWindowsOfProcess(run.processId())) {
        for (const std::wstring& text : ChildTexts(window)) {
          if (text.find(L"between 0 and 500") != std::wstring::npos)
            message = window;
        }
      }
      return message != nullptr;
    })) << refused;
    ::PostMessageW(message, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(message); }));
    EXPECT_TRUE(::IsWindowVisible(dialog)) << "the dialog stays open";
    EXPECT_FALSE(ClientSetting("maxLog").has_value()) << refused;
    EXPECT_FALSE(ClientSetting("isLog").has_value()) << refused;
  }
  ::SetDlgItemTextW(dialog, IDC_MAX_LOG, L"500");
  PostButtonClick(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
  EXPECT_EQ(ClientSetting("maxLog"), "500");
  EXPECT_EQ(ClientSetting("isLog"), "1");
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(SettingsAndLogTest, AServiceInstalledByAnotherToolShowsAsOnAndIsStoredOnOk) {
  SetClientSetting("runAsServic", "0");
  ASSERT_EQ(
      platform::RunCommand("\"" + Utf8(install_.File(L"TLDDNSService.exe")) + "\" -Service", true),
      0);
  ASSERT_NE(platform::QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
  ClientRun run(install_);
  const HWND dialog = OpenSettings(run, IDC_OPEN_SETTINGS);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(Checked(dialog, IDC_SERVICE_MODE));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_AUTO_START)));
  PostButtonClick(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
  EXPECT_EQ(ClientSetting("runAsServic"), "1");

  // Cancel stores nothing.
  SetClientSetting("runAsServic", "0");
  const HWND again = OpenSettings(run, IDC_OPEN_SETTINGS);
  ASSERT_NE(again, nullptr);
  PostButtonClick(again, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(again); }));
  EXPECT_EQ(ClientSetting("runAsServic"), "0");
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(SettingsAndLogTest, TheLogListsTheOldestEntriesNewestFirstAndClearEmptiesIt) {
  install_.Write(L"quorin.log",
                 "0|Login|2026-12-01 08:00:00\n"
                 "1|No address|2026-12-01 08:01:00\n"
                 "2|Server failed|2026-12-01 08:02:00\n"
                 "0|IP Change|2026-12-01 08:03:00\n");
  SetClientSetting("maxLog", "3");
  ClientRun run(install_);
  HWND dialog = OpenLog(run, IDC_OPEN_LOG);
  ASSERT_NE(dialog, nullptr);
  const HWND list = ::GetDlgItem(dialog, IDC_LOG_LIST);
  ASSERT_EQ(ListCount(dialog), 3) << "no more than maxLog";
  const ListRow top = ReadListRow(run.processId(), list, 0);
  EXPECT_EQ(top.image, 4) << "a failed request";
  EXPECT_EQ(top.message, L"Server failed");
  EXPECT_EQ(top.time, L"2026-12-01 08:02:00");
  const ListRow middle = ReadListRow(run.processId(), list, 1);
  EXPECT_EQ(middle.image, 4) << "no address found";
  EXPECT_EQ(middle.message, L"No address");
  const ListRow bottom = ReadListRow(run.processId(), list, 2);
  EXPECT_EQ(bottom.image, 2) << "information";
  EXPECT_EQ(bottom.message, L"Login");
  EXPECT_EQ(bottom.time, L"2026-12-01 08:00:00");
  // The extended styles and the column titles (texts 57678 and 57679).
  const auto extended =
      static_cast<DWORD>(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_EQ(extended & (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES),
            static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES));
  const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);

  PostButtonClick(dialog, IDC_CLEAR_LOG);
  EXPECT_TRUE(WaitUntil([&] { return ListCount(dialog) == 0; }));
  EXPECT_TRUE(WaitUntil([&] { return ReadFileText(install_.File(L"quorin.log")).empty(); }));
  PostButtonClick(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));

  // Opened again from the tray menu's command: still empty.
  dialog = OpenLog(run, ID_MENU_LOG);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ListCount(dialog), 0);
  PostButtonClick(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

// Pictures of both dialogs at 96 and 144 DPI, in the language of the run (QUORIN_SHOT_TAG), and
// their layouts measured.
TEST_F(SettingsAndLogTest, ScreenshotsOfBothDialogs) {
  std::wstring tag = Environment(L"QUORIN_SHOT_TAG");
  if (tag.empty())
    tag = L"en";
  install_.Write(L"quorin.log",
                 "0|Login succeeded|2026-12-01 08:00:00\n"
                 "1|No public address found|2026-12-01 08:01:00\n"
                 "0|IP Change|2026-12-01 08:03:00\n");
  SetClientSetting("ServerIP", "192.0.2.5");
  for (const DWORD dpi : {96u, 144u}) {
    SetScreenDpi(dpi);
    ClientRun run(install_);
    const std::wstring suffix = std::to_wstring(dpi) + L"dpi_" + tag;
    const HWND settings = OpenSettings(run, IDC_OPEN_SETTINGS);
    ASSERT_NE(settings, nullptr) << dpi;
    EXPECT_TRUE(TakeScreenshot(L"settings_dialog_" + suffix));
    EXPECT_EQ(LayoutFaults(settings), std::vector<std::string>{}) << dpi;
    PostButtonClick(settings, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(settings); }));
    const HWND log = OpenLog(run, IDC_OPEN_LOG);
    ASSERT_NE(log, nullptr) << dpi;
    EXPECT_EQ(ListCount(log), 3);
    EXPECT_TRUE(TakeScreenshot(L"log_dialog_" + suffix));
    EXPECT_EQ(LayoutFaults(log), std::vector<std::string>{}) << dpi;
    PostButtonClick(log, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(log); }));
    EXPECT_TRUE(run.ExitThroughTheButton());
  }
}

}  // namespace
}  // namespace quorin::shelltest
