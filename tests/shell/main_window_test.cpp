// The installed client's main window against the provider simulator (fixture "main_sim",
// 127.0.0.131): the silent start and its login retry on the client's clock, the interactive
// login with its message, logout and login, the grid's edits as the simulator receives them,
// the window answering while the login server is slow, a refresh behind an open message, the
// keys that do nothing, the exit through its countdown, and the screenshots of both views.
// On a Chinese system (code page 936), against a simulator speaking GBK (fixture "cp936_sim",
// 127.0.0.136): the account name, the zone texts and the profile keep their GBK bytes.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "client/local/profile_file.h"
#include "client/protocol/login.h"
#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/window_test_support.h"
#include "tests/support/simulator_control.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLoginPath = "/client_login.php";
constexpr const char* kSavePath = "/client_saveDomainList.php";
constexpr const char* kHostSettings[] = {"home.example.test", "nas.example.test", "www.vip.test"};

// A free account, whose saves end with the save (no confirmation saves again), and a VIP one;
// neither key asks for the advertisement.
constexpr const char* kAccounts =
    R"({"users": {"mw": {"password": "pw", "key": "000127.0.0.131-mw", "randText": "RM",
        "zones": [{"name": "example.test", "text2": "x", "text3": "y",
                   "hosts": [{"label": "home", "address": "198.51.100.1", "text3": "z"},
                             {"label": "nas", "address": "198.51.100.1", "text3": "z"}]}]},
      "vip": {"password": "vpw", "key": "010127.0.0.131-vip", "randText": "RV",
        "zones": [{"name": "vip.test", "text2": "x", "text3": "y",
                   "hosts": [{"label": "www", "address": "198.51.100.1", "text3": "z"}]}]}}})";

// The body of a POST as the simulator received it.
std::string BodyOf(const std::string& bytes) {
  const auto end = bytes.find("\r\n\r\n");
  if (end != std::string::npos)
    return bytes.substr(end + 4);
  const auto bare = bytes.find("\n\n");
  return bare != std::string::npos ? bytes.substr(bare + 2) : std::string();
}

// A control's text through WM_GETTEXT: GetWindowText does not ask a control of another
// process, it reads the window's own caption, which edit fields and combo boxes leave empty.
std::wstring AskedText(HWND control) {
  wchar_t text[256] = {};
  DWORD_PTR length = 0;
  ::SendMessageTimeoutW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                        &length);
  return std::wstring(text, std::min<std::size_t>(length, 255));
}

// The grid's shown IP address controls, top to bottom. The style, not IsWindowVisible,
// tells a shown row: the main window itself may be hidden.
BOOL CALLBACK CollectShownAddressControl(HWND child, LPARAM found) {
  wchar_t name[64] = {};
  ::GetClassNameW(child, name, 64);
  if (_wcsicmp(name, WC_IPADDRESSW) == 0 && (::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0)
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
  return TRUE;
}

std::vector<HWND> AddressControls(HWND main) {
  std::vector<HWND> controls;
  // A named callback: a lambda does not convert to the 32-bit build's stdcall procedure type.
  ::EnumChildWindows(::GetDlgItem(main, IDC_DOMAIN_GRID), CollectShownAddressControl,
                     reinterpret_cast<LPARAM>(&controls));
  const auto top = [](HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return std::pair(rect.top, rect.left);
  };
  std::sort(controls.begin(), controls.end(), [&](HWND a, HWND b) { return top(a) < top(b); });
  return controls;
}

// The four fields of every address control of the grid, top to bottom, as "a.b.c.d".
std::vector<std::string> GridAddresses(HWND main) {
  std::vector<std::string> addresses;
  for (const HWND control : AddressControls(main)) {
    std::vector<std::pair<LONG, std::wstring>> fields;
    for (HWND edit = ::GetWindow(control, GW_CHILD); edit != nullptr;
         edit = ::GetWindow(edit, GW_HWNDNEXT)) {
      RECT rect{};
      ::GetWindowRect(edit, &rect);
      fields.emplace_back(rect.left, AskedText(edit));
    }
    std::sort(fields.begin(), fields.end());
    std::string address;
    for (const auto& field : fields)
      address += (address.empty() ? "" : ".") + Utf8(field.second);
    addresses.push_back(address);
  }
  return addresses;
}

// The requests to `path` the simulator recorded after `since`.
std::vector<testing::SimulatorRecord> RequestsTo(testing::SimulatorControl& simulator,
                                                 std::int64_t since, const std::string& path) {
  std::vector<testing::SimulatorRecord> found;
  for (auto& record : simulator.RecordsSince(since, 0, 0)) {
    if (record.path == path)
      found.push_back(std::move(record));
  }
  return found;
}

// The body of the next save the simulator receives after `since`.
std::string NextSaveBody(testing::SimulatorControl& simulator, std::int64_t since) {
  std::string body;
  WaitUntil(
      [&] {
        const auto saves = RequestsTo(simulator, since, kSavePath);
        if (!saves.empty())
          body = BodyOf(saves.front().bytes);
        return !saves.empty();
      },
      30s);
  return body;
}

// Waits until the grid shows `expected`; on failure the message tells what it showed.
::testing::AssertionResult GridShows(HWND main, const std::vector<std::string>& expected) {
  std::vector<std::string> seen;
  if (WaitUntil([&] { return (seen = GridAddresses(main)) == expected; }))
    return ::testing::AssertionSuccess();
  std::string text;
  for (const auto& address : seen)
    text += "[" + address + "] ";
  return ::testing::AssertionFailure() << "the grid shows " << text;
}

void TypeLogin(HWND main, const std::wstring& user, const std::wstring& password) {
  const HWND box = ::GetDlgItem(main, IDC_ACCOUNT_NAME);
  ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
  ::SendDlgItemMessageW(main, IDC_PASSWORD, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(password.c_str()));
  PostButtonClick(main, IDC_LOGIN);
}

bool LoggedInView(HWND main) {
  return WaitUntil([&] {
    return ControlVisible(main, IDC_LOGOUT) && ControlVisible(main, IDC_DOMAIN_GRID) &&
           !ControlVisible(main, IDC_LOGIN);
  });
}

class MainWindowSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetClientSettings();
    for (const char* name :
         {"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2", "LoginSvrIP"})
      SetClientSetting(name, simulator_.host());
    for (const char* name : kHostSettings)
      RemoveClientSetting(name);
    simulator_.ClearFaults();
    simulator_.SetAccounts(kAccounts);
    simulator_.SetAddress("203.0.113.20");
  }
  void TearDown() override {
    simulator_.ClearFaults();
    for (const char* name :
         {"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2", "LoginSvrIP"})
      RemoveClientSetting(name);
    for (const char* name : kHostSettings)
      RemoveClientSetting(name);
  }

  std::vector<testing::SimulatorRecord> Requests(std::int64_t since, const std::string& path) {
    return RequestsTo(simulator_, since, path);
  }

  std::string NextSave(std::int64_t since) { return NextSaveBody(simulator_, since); }

  // Starts the form's login while the login servers hold their answers `holdMs` milliseconds.
  // The record number from before the login once its first request has arrived; -1 when none
  // came.
  std::int64_t LoginWhileServersHold(HWND main, int holdMs) {
    simulator_.SetFault(R"({"server": "login", "path": "/client_login.php", "mode": "delay",
                            "ms": )" +
                        std::to_string(holdMs) + "}");
    const std::int64_t mark = simulator_.LastSeq();
    TypeLogin(main, L"mw", L"pw");
    return WaitUntil([&] { return !Requests(mark, kLoginPath).empty(); }) ? mark : -1;
  }

  bool SavedAddress(const std::string& address) {
    return WaitUntil(
        [&] { return simulator_.Call("GET", "/control/saved").find(address) != std::string::npos; },
        30s);
  }

  testing::SimulatorControl simulator_ =
      testing::SimulatorFromEnvironment("QUORIN_MAIN_SIM_HOST", "QUORIN_MAIN_SIM_CONTROL");
};

TEST_F(MainWindowSimTest, ASilentStartRetriesOnTheClientsClockAndShowsTheDomainsOnceIn) {
  InstallCopy install;
  const std::int64_t start = simulator_.LastSeq();
  // Sixty times faster: the 30 s between two logins last half a second.
  ClientRun run(install, L"-silent vip wrong --time-scale 60");
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);

  std::vector<std::chrono::steady_clock::time_point> seen;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::size_t logins = Requests(start, kLoginPath).size();
        while (seen.size() < logins)
          seen.push_back(std::chrono::steady_clock::now());
        return logins >= 2;
      },
      20s))
      << "a second login within 20 s of real time: the retry runs on the client's clock";
  EXPECT_GE(seen[1] - seen[0], 400ms) << "not before 30 s of the client's clock";
  EXPECT_EQ(run.MessageDialog(0), nullptr) << "silent mode shows no message";
  EXPECT_FALSE(::IsWindowVisible(main)) << "silent mode keeps the window hidden";

  // The provider now takes that password: the next retry gets in.
  std::string accounts = kAccounts;
  accounts.replace(accounts.find("\"vpw\""), 5, "\"wrong\"");
  simulator_.SetAccounts(accounts);
  ASSERT_TRUE(SavedAddress("203.0.113.20")) << "the monitor saved the detected address";
  ASSERT_TRUE(LoggedInView(main));
  EXPECT_EQ(WindowText(main), L"QuorinFree ver4.2.0(VIP account)");
  EXPECT_TRUE(GridShows(main, {"203.0.113.20"})) << "the host row holds the detected address";
  EXPECT_EQ(Utf8(ControlText(main, IDC_STATUS_USER)), "vip");
  EXPECT_TRUE(WaitUntil([&] { return ControlText(main, IDC_STATUS_ADDRESS) == L"203.0.113.20"; }));

  // The first click on the tray icon brings the parked window back, centred.
  ASSERT_EQ(run.ShowMainWindow(), main);
  RECT frame{};
  ::GetWindowRect(main, &frame);
  EXPECT_GT(frame.left, 0);
  EXPECT_GT(frame.top, 0);
  EXPECT_GT(frame.right - frame.left, 300);
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(MainWindowSimTest, TheFormLogsInAndOutAndTheGridsEditsReachTheProvider) {
  InstallCopy install;
  ClientRun run(install, L"--time-scale 60");
  const HWND main = run.ShowMainWindow();
  ASSERT_NE(main, nullptr);
  // The record's placeholders in the window's language; the record keeps its own.
  EXPECT_EQ(ControlText(main, IDC_STATUS_USER), L"<not logged in>");
  EXPECT_EQ(ControlText(main, IDC_STATUS_LINE), L"<not connected>");

  // Empty fields: the message names what is missing, and no request leaves.
  std::int64_t mark = simulator_.LastSeq();
  PostButtonClick(main, IDC_LOGIN);
  HWND message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(ControlText(message, IDC_MESSAGE_TEXT), L"Please enter your account name.");
  PostButtonClick(message, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(message); }));

  // A refused password: the message once, the login view stays, no second try.
  TypeLogin(main, L"mw", L"bad");
  message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_NE(ControlText(message, IDC_MESSAGE_TEXT), L"");
  PostButtonClick(message, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(message); }));
  EXPECT_TRUE(ControlVisible(main, IDC_LOGIN));
  // A minute of the client's clock, twice the silent retry's period. The login view has
  // nothing that shows the client's time passing; a slow machine can only hide a retry here,
  // never make one up.
  ::Sleep(1000);
  EXPECT_EQ(Requests(mark, kLoginPath).size(), 1u) << "an interactive login is not retried";
  EXPECT_EQ(run.MessageDialog(0), nullptr);

  TypeLogin(main, L"mw", L"pw");
  ASSERT_TRUE(LoggedInView(main));
  EXPECT_EQ(WindowText(main), L"QuorinFree ver4.2.0(free account)");
  ASSERT_TRUE(SavedAddress("203.0.113.20"));
  EXPECT_TRUE(GridShows(main, {"203.0.113.20", "203.0.113.20"}));
  // The box pauses every record when ticked; no record is paused, so it is not ticked.
  EXPECT_EQ(ControlText(main, IDC_SELECT_ALL), L"Pa&use all records");
  EXPECT_EQ(::SendDlgItemMessageW(main, IDC_SELECT_ALL, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // The login stored the account as the current profile (without its password).
  const auto profile = client::FindProfile(Utf8(install.File(L"userprofie.dat")), "mw");
  ASSERT_TRUE(profile.has_value());
  EXPECT_EQ(profile->savePassword, 0);

  // Logout, then login again through the form: the next save marks exactly one record.
  PostButtonClick(main, IDC_LOGOUT);
  ASSERT_TRUE(WaitUntil([&] { return ControlVisible(main, IDC_LOGIN); }));
  EXPECT_TRUE(WaitUntil([&] { return AskedText(::GetDlgItem(main, IDC_ACCOUNT_NAME)) == L"mw"; }))
      << "the account list's current profile";
  mark = simulator_.LastSeq();
  TypeLogin(main, L"mw", L"pw");
  ASSERT_TRUE(LoggedInView(main));
  // The new login's monitor saves the address it finds once; the user's save comes after.
  EXPECT_EQ(NextSave(mark),
            "user_name=mw&key=000127.0.0.131-mw&randText=RM&"
            "domain=example.test,x,y|home,203.0.113.20,z,|nas,203.0.113.20,z,&\n");
  mark = simulator_.LastSeq();
  PostButtonClick(main, IDC_SAVE_CHANGES);
  EXPECT_EQ(NextSave(mark),
            "user_name=mw&key=000127.0.0.131-mw&randText=RM&"
            "domain=example.test,x,y|home,203.0.113.20,z,&\n");

  // An address typed into the grid's second row is saved as typed; the resend is spent.
  const std::vector<HWND> cells = AddressControls(main);
  ASSERT_EQ(cells.size(), 2u);
  ::SendMessageW(cells[1], IPM_SETADDRESS, 0, MAKEIPADDRESS(198, 51, 100, 77));
  mark = simulator_.LastSeq();
  PostButtonClick(main, IDC_SAVE_CHANGES);
  EXPECT_EQ(NextSave(mark),
            "user_name=mw&key=000127.0.0.131-mw&randText=RM&"
            "domain=example.test,x,y|nas,198.51.100.77,z,&\n");
  EXPECT_TRUE(WaitUntil([&] {
    return simulator_.Accounts().find("198.51.100.77") != std::string::npos;
  })) << "the provider's record holds the typed address";

  // Enter and Escape do nothing in the logged-in view either.
  EXPECT_TRUE(CommandLeavesTheWindowOpen(run, main, IDOK));
  EXPECT_TRUE(CommandLeavesTheWindowOpen(run, main, IDCANCEL));
  EXPECT_TRUE(ControlVisible(main, IDC_LOGOUT));

  // Ticking the box and saving pauses both records (each host's flags: option, then
  // "enabled"); the grid built anew shows the box ticked, as every record is paused.
  ::PostMessageW(::GetDlgItem(main, IDC_SELECT_ALL), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] {
    return ::SendDlgItemMessageW(main, IDC_SELECT_ALL, BM_GETCHECK, 0, 0) == BST_CHECKED;
  }));
  PostButtonClick(main, IDC_SAVE_CHANGES);
  EXPECT_TRUE(WaitUntil([&] {
    return ClientSetting("home.example.test") == "10" && ClientSetting("nas.example.test") == "10";
  })) << ClientSetting("home.example.test").value_or("-");
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; }));
  PostButtonClick(main, IDC_LOGOUT);
  ASSERT_TRUE(WaitUntil([&] { return ControlVisible(main, IDC_LOGIN); }));
  EXPECT_EQ(::SendDlgItemMessageW(main, IDC_SELECT_ALL, BM_GETCHECK, 0, 0), BST_CHECKED)
      << "the login view keeps what the grid showed";
  TypeLogin(main, L"mw", L"pw");
  ASSERT_TRUE(LoggedInView(main));
  EXPECT_TRUE(WaitUntil([&] {
    return ::SendDlgItemMessageW(main, IDC_SELECT_ALL, BM_GETCHECK, 0, 0) == BST_CHECKED;
  })) << "every record paused: the box is ticked";

  // The exit's confirmation closes as OK when its countdown of 15 seconds runs out.
  PostButtonClick(main, IDC_EXIT);
  ASSERT_NE(run.MessageDialog(), nullptr);
  EXPECT_TRUE(run.WaitForExit(60000).has_value()) << "the countdown ended the client";
}

TEST_F(MainWindowSimTest, TheWindowAnswersWhileTheLoginServerIsSlowAndStartsOneLogin) {
  InstallCopy install;
  ClientRun run(install, L"--time-scale 60");
  const HWND main = run.ShowMainWindow();
  ASSERT_NE(main, nullptr);
  const std::int64_t mark = LoginWhileServersHold(main, 4000);
  ASSERT_GE(mark, 0);

  // The server holds its answer; the window still answers at once, shows what it does and
  // takes no input, and a second click starts nothing.
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
  EXPECT_EQ(ControlText(main, IDC_STATUS_LINE), L"Connecting to the server...");
  EXPECT_FALSE(::IsWindowEnabled(main));
  PostButtonClick(main, IDC_LOGIN);
  ASSERT_TRUE(LoggedInView(main));
  EXPECT_TRUE(::IsWindowEnabled(main));
  EXPECT_EQ(Requests(mark, kLoginPath).size(), 1u) << "one login for two clicks";
  EXPECT_EQ(run.MessageDialog(0), nullptr);
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(MainWindowSimTest, WhileALoginWaitsTheTrayOnlyBringsTheWindowForward) {
  InstallCopy install;
  ClientRun run(install, L"--time-scale 60");
  const HWND main = run.ShowMainWindow();
  ASSERT_NE(main, nullptr);
  // Every login server (all three are the simulator) holds its answer past its time-out.
  const std::int64_t mark = LoginWhileServersHold(main, 60000);
  ASSERT_GE(mark, 0);
  ASSERT_FALSE(::IsWindowEnabled(main));

  // The tray's commands are handled at once (sent: the call returns when they are done) and
  // open nothing: no exit confirmation, no settings, no menu; the logout leaves the login be.
  constexpr UINT kTrayCallback = 0x2403;
  for (const WPARAM command : {ID_MENU_TRAY_EXIT, ID_MENU_SETTINGS, ID_MENU_LOG, ID_MENU_LOGOUT}) {
    EXPECT_NE(::SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_NORMAL, 5000, nullptr), 0)
        << command;
  }
  EXPECT_NE(
      ::SendMessageTimeoutW(main, kTrayCallback, 1, WM_RBUTTONDOWN, SMTO_NORMAL, 5000, nullptr), 0)
      << "no pop-up menu is tracked";
  EXPECT_EQ(run.MessageDialog(0), nullptr) << "no exit confirmation";
  EXPECT_EQ(FindWindowWithControls(run.processId(), {IDC_AUTO_START}), nullptr) << "no settings";
  EXPECT_EQ(FindWindowWithControls(run.processId(), {IDC_LOG_LIST}), nullptr) << "no log viewer";
  for (const HWND window : VisibleWindowsOfProcess(run.processId())) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    EXPECT_NE(std::wstring(name), L"#32768") << "no menu";
  }
  EXPECT_TRUE(::IsWindowVisible(main)) << "the busy window came forward";
  EXPECT_TRUE(ControlVisible(main, IDC_ACCOUNT_NAME)) << "no logout behind the login";

  // The login ends with its failure once every server has timed out; then the window is the
  // user's again.
  const HWND message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  PostButtonClick(message, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; }));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(MainWindowSimTest, TheExitAnswersWhileTheFinalSaveWaitsAndEndsByItsDeadline) {
  InstallCopy install;
  ClientRun run(install, L"--time-scale 60");
  const HWND main = run.ShowMainWindow();
  ASSERT_NE(main, nullptr);
  TypeLogin(main, L"mw", L"pw");
  ASSERT_TRUE(LoggedInView(main));
  ASSERT_TRUE(SavedAddress("203.0.113.20"));
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; }));

  // The login server takes every save and never answers it.
  simulator_.SetFault(R"({"server": "login", "path": "/client_saveDomainList.php",
                          "mode": "silent", "hold_ms": 60000})");
  PostButtonClick(main, IDC_EXIT);
  const HWND confirm = run.MessageDialog();
  ASSERT_NE(confirm, nullptr);
  const std::int64_t mark = simulator_.LastSeq();
  PostButtonClick(confirm, IDOK);
  // The exit hides the window first, then sends the final save.
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }));
  ASSERT_TRUE(WaitUntil([&] { return !Requests(mark, kSavePath).empty(); }))
      << "the final save went out";
  // The save waits on a worker: the window still answers and the program runs on.
  EXPECT_NE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 3000, nullptr), 0);
  EXPECT_TRUE(run.Running());
  // The save's deadline is 10 s; the program ends within moments after it.
  EXPECT_TRUE(run.WaitForExit(25000).has_value()) << "the client ended by the save's deadline";
}

TEST_F(MainWindowSimTest, AChangeTheMonitorMakesBehindAnOpenMessageIsShown) {
  InstallCopy install;
  ClientRun run(install, L"-silent mw pw --time-scale 60");
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(SavedAddress("203.0.113.20"));
  ASSERT_EQ(run.ShowMainWindow(), main);
  ASSERT_TRUE(WaitUntil([&] { return ControlText(main, IDC_STATUS_ADDRESS) == L"203.0.113.20"; }));

  // The exit's confirmation runs a modal loop of its own while the address changes.
  PostButtonClick(main, IDC_EXIT);
  const HWND confirm = run.MessageDialog();
  ASSERT_NE(confirm, nullptr);
  simulator_.SetAddress("198.51.100.44");
  EXPECT_TRUE(SavedAddress("198.51.100.44"));
  EXPECT_TRUE(WaitUntil([&] { return ControlText(main, IDC_STATUS_ADDRESS) == L"198.51.100.44"; }))
      << "the refresh reached the window behind the message";
  EXPECT_TRUE(GridShows(main, {"198.51.100.44", "198.51.100.44"}));
  EXPECT_TRUE(::IsWindow(confirm));
  ::PostMessageW(confirm, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(confirm); }));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

// The real clock, so the next minute's check is a minute away: a resume's check comes within
// the settling time of the broadcast instead.
TEST_F(MainWindowSimTest, AResumeFromSleepChecksTheAddressAtOnce) {
  InstallCopy install;
  ClientRun run(install, L"-silent mw pw");
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(SavedAddress("203.0.113.20"));
  const auto firstSave = std::chrono::steady_clock::now();
  const std::int64_t mark = simulator_.LastSeq();
  simulator_.SetAddress("198.51.100.45");
  ::SendMessageTimeoutW(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 5000,
                        nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !Requests(mark, kSavePath).empty(); }, 50s));
  EXPECT_LT(std::chrono::steady_clock::now() - firstSave, 55s) << "before the minute's check";
  EXPECT_TRUE(SavedAddress("198.51.100.45"));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

// Run once per screen size and language (see CMakeLists.txt): the login view and the
// logged-in view.
TEST_F(MainWindowSimTest, ScreenshotsOfBothViews) {
  const std::wstring tag =
      Environment(L"QUORIN_SHOT_TAG").empty() ? L"96_en" : Environment(L"QUORIN_SHOT_TAG");
  InstallCopy install;
  // The real clock: the monitor reports once after the login, not each second of the pictures.
  ClientRun run(install);
  const HWND main = run.ShowMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(TakeScreenshot(L"main_window_login_" + tag));
  EXPECT_EQ(LayoutFaults(main), std::vector<std::string>{}) << "the login view";
  TypeLogin(main, L"mw", L"pw");
  ASSERT_TRUE(LoggedInView(main));
  ASSERT_TRUE(SavedAddress("203.0.113.20"));
  ASSERT_TRUE(GridShows(main, {"203.0.113.20", "203.0.113.20"}));
  ASSERT_TRUE(WaitUntil([&] { return ControlText(main, IDC_STATUS_ADDRESS) == L"203.0.113.20"; }));
  // Whatever the last refresh asked for is painted before the picture.
  ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  EXPECT_TRUE(TakeScreenshot(L"main_window_logged_in_" + tag));
  EXPECT_EQ(LayoutFaults(main), std::vector<std::string>{}) << "the logged-in view";
  // The exit's question, the message dialog, in the language and at the size of the run.
  PostButtonClick(main, IDC_EXIT);
  const HWND confirm = run.MessageDialog();
  ASSERT_NE(confirm, nullptr);
  EXPECT_EQ(LayoutFaults(confirm), std::vector<std::string>{}) << "the message dialog";
  PostButtonClick(confirm, IDOK);
  EXPECT_TRUE(run.WaitForExit().has_value());
}

// 张三 is D5C5 C8FD in GBK, the zone texts 北京 and 电信 B1B1 BEA9 and B5E7 D0C5, the host
// text 主机 D6F7 BBFA. The simulator keeps its accounts in Unicode and speaks GBK on the wire.
constexpr const char* kChineseAccounts =
    R"({"users": {"张三": {"password": "pw", "key": "000127.0.0.136-zs", "randText": "RZ",
        "zones": [{"name": "example.net", "text2": "北京", "text3": "电信",
                   "hosts": [{"label": "www", "address": "198.51.100.1", "text3": "主机",
                              "kind": "A"}]}]}}})";

// Runs in the Chinese variant of the main window's tests (CMakeLists.txt), where Wine's ANSI
// code page is 936; skipped under any other code page.
class MainWindowCodePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::GetACP() != 936)
      GTEST_SKIP() << "needs the system code page 936, not " << ::GetACP();
    simulator_.emplace(
        testing::SimulatorFromEnvironment("QUORIN_CP936_SIM_HOST", "QUORIN_CP936_SIM_CONTROL"));
    ResetClientSettings();
    for (const char* name :
         {"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2", "LoginSvrIP"})
      SetClientSetting(name, simulator_->host());
    RemoveClientSetting("www.example.net");
    simulator_->ClearFaults();
    simulator_->SetAccounts(kChineseAccounts);
    simulator_->SetAddress("203.0.113.36");
  }
  void TearDown() override {
    if (!simulator_)
      return;
    for (const char* name :
         {"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2", "LoginSvrIP"})
      RemoveClientSetting(name);
    RemoveClientSetting("www.example.net");
  }

  std::optional<testing::SimulatorControl> simulator_;
};

TEST_F(MainWindowCodePageTest, AChineseAccountAndItsZonesKeepTheirGbkBytes) {
  InstallCopy install;
  std::int64_t mark = simulator_->LastSeq();
  // The silent account comes from the command line, which the client reads as UTF-16.
  ClientRun run(install, L"-silent 张三 pw --time-scale 60");
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(LoggedInView(main));

  const auto logins = RequestsTo(*simulator_, mark, kLoginPath);
  ASSERT_FALSE(logins.empty());
  EXPECT_NE(logins.front().bytes.find("user_name=%D5%C5%C8%FD&passwd=pw&"), std::string::npos)
      << logins.front().bytes;
  // The monitor's first save sends the server's texts back as the bytes it wrote.
  EXPECT_EQ(NextSaveBody(*simulator_, mark),
            "user_name=%D5%C5%C8%FD&key=000127.0.0.136-zs&randText=RZ&"
            "domain=example.net,%B1%B1%BE%A9,%B5%E7%D0%C5|www,203.0.113.36,%D6%F7%BB%FA,A&\n");
  // The grid shows the zone's texts: its canvas is named after the selected row.
  ASSERT_EQ(run.ShowMainWindow(), main);
  const HWND canvas = ::GetDlgItem(::GetDlgItem(main, IDC_DOMAIN_GRID), 30000);
  ASSERT_NE(canvas, nullptr);
  ::PostMessageW(canvas, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(canvas) == L"example.net    [ 北京  --  电信 ]"; }))
      << Utf8(WindowText(canvas));
  ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  EXPECT_TRUE(TakeScreenshot(L"main_window_code_page_936"));
  EXPECT_TRUE(run.ExitThroughTheButton());

  // Started again without an account: the account list reads the name back from the profile
  // the silent login stored, a name the code page cannot write is refused with its message
  // and nothing is sent, and the name typed into the form goes out in GBK as well.
  ClientRun form(install);
  const HWND window = form.ShowMainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(
      WaitUntil([&] { return AskedText(::GetDlgItem(window, IDC_ACCOUNT_NAME)) == L"张三"; }));
  mark = simulator_->LastSeq();
  TypeLogin(window, L"한", L"pw");
  const HWND message = form.MessageDialog();
  ASSERT_NE(message, nullptr);
  const std::string refusal(client::kUnrepresentableAccountMessage);
  EXPECT_NE(
      Utf8(ControlText(message, IDC_MESSAGE_TEXT)).find(refusal.substr(0, refusal.find('\n'))),
      std::string::npos)
      << Utf8(ControlText(message, IDC_MESSAGE_TEXT));
  PostButtonClick(message, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(message); }));
  EXPECT_TRUE(RequestsTo(*simulator_, mark, kLoginPath).empty());

  TypeLogin(window, L"张三", L"pw");
  ASSERT_TRUE(LoggedInView(window));
  const auto typed = RequestsTo(*simulator_, mark, kLoginPath);
  ASSERT_EQ(typed.size(), 1u);
  EXPECT_NE(typed.front().bytes.find("user_name=%D5%C5%C8%FD&"), std::string::npos);
  // The profile's name field holds the GBK bytes and its end.
  const std::string profile = ReadFileText(install.File(L"userprofie.dat"));
  ASSERT_GE(profile.size(), 9u);
  EXPECT_EQ(profile.substr(4, 5), std::string("\xD5\xC5\xC8\xFD", 4) + '\0');

  EXPECT_TRUE(form.ExitThroughTheButton());
}

}  // namespace
}  // namespace quorin::shelltest
