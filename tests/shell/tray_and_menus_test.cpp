// The installed client in the notification area (fixture "main_sim", 127.0.0.131): the tray
// icon's clicks, the hiding, the icon after a taskbar restart, the pop-up menu after
// Language.ini, the commands of the menus and the link button, the about box, and their
// screenshots. The client writes what it asked of the shell into the activity record that
// QUORINFREE_ACTIVITY_RECORD names, so no browser opens; the icon itself is asked of the shell.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <sstream>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/window_test_support.h"
#include "tests/support/simulator_control.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

constexpr UINT kTrayCallback = 0x2403;
constexpr UINT kTrayIconId = 1;

constexpr const char* kAccounts =
    R"({"users": {"mw": {"password": "pw", "key": "000127.0.0.131-mw", "randText": "RM",
        "zones": [{"name": "example.test", "text2": "x", "text3": "y",
                   "hosts": [{"label": "home", "address": "198.51.100.1", "text3": "z"}]}]}}})";

constexpr const char* kLinkTexts = "Menu5=Link five\r\nMenu6=Link six\r\nMenu7=Link seven\r\n";

// The installation's Language.ini with `menu` as the keys of its "Menu" section ("suggest" is
// missing from its addresses).
std::string LanguageIni(const std::string& menu = kLinkTexts) {
  return "[AboutDlg]\r\nabout001=Line one\r\nabout002=Line two\r\nabout003=Line three\r\n"
         "about004=About box\r\n[Menu]\r\nAboutMenu=About\r\n" +
         menu +
         "[URL]\r\nhelpfriend=http://friend.test/\r\nregguide=http://guide.test/\r\n"
         "siteurl=https://site.test/\r\nmirkaurl=http://mirka.test/\r\n"
         "dorn5url=http://dorn.test/\r\ndomainurl=http://domains.test/\r\n";
}

// Whether the shell shows an icon of `window`: a change that changes nothing succeeds only for
// an icon it has.
bool ShellHasIcon(HWND window) {
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V1_SIZE;
  record.hWnd = window;
  record.uID = kTrayIconId;
  return ::Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

void Sync(HWND window) {
  ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
}

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetClientSettings();
    for (const char* name : {"UpdateHostFree1", "UpdateHostFree2", "LoginSvrIP"})
      SetClientSetting(name, simulator_.host());
    simulator_.ClearFaults();
    simulator_.SetAccounts(kAccounts);
    simulator_.SetAddress("203.0.113.20");
    ::SetEnvironmentVariableW(L"QUORINFREE_ACTIVITY_RECORD", record_.c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"QUORINFREE_ACTIVITY_RECORD", nullptr);
    for (const char* name :
         {"UpdateHostFree1", "UpdateHostFree2", "LoginSvrIP", "erp", "ProviderSite", "curVersion"})
      RemoveClientSetting(name);
  }

  // The record's lines from line `from` on.
  std::vector<std::string> Lines(std::size_t from = 0) const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(record_));
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(from, lines.size())));
    return lines;
  }

  // The lines that a command sent to `main` adds to the record (after the window answered).
  std::vector<std::string> AfterCommand(HWND main, WPARAM command) {
    const std::size_t before = Lines().size();
    // Sent, not posted: a message sent from another thread overtakes the posted ones.
    ::SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_NORMAL, 5000, nullptr);
    return Lines(before);
  }

  // The pop-up menu after a right click, item by item ("id\ttext\tpicture"); the menu is seen
  // open, photographed when `shot` is given, and closed with Escape.
  std::vector<std::string> OpenedMenu(ClientRun& run, HWND main, const std::wstring& shot = L"") {
    const std::size_t before = Lines().size();
    ::PostMessageW(main, kTrayCallback, kTrayIconId, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    const bool open = WaitUntil([&] {
      for (const HWND window : VisibleWindowsOfProcess(run.processId())) {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32768")
          menu = window;
      }
      return menu != nullptr;
    });
    EXPECT_TRUE(open) << "the menu shows";
    if (!shot.empty()) {
      EXPECT_TRUE(TakeScreenshot(shot));
    }
    if (menu != nullptr) {
      ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(menu); })) << "Escape closes it";
    }
    std::vector<std::string> items;
    for (const std::string& line : Lines(before)) {
      if (line.rfind("menu-item\t", 0) == 0)
        items.push_back(line.substr(10));
    }
    return items;
  }

  InstallCopy install_;
  std::wstring record_ = install_.File(L"activity.txt");
  testing::SimulatorControl simulator_ =
      testing::SimulatorFromEnvironment("QUORIN_MAIN_SIM_HOST", "QUORIN_MAIN_SIM_CONTROL");
};

HWND AboutBox(ClientRun& run) {
  HWND found = nullptr;
  WaitUntil([&] {
    found = FindWindowWithControls(run.processId(), {IDC_ABOUT_TITLE, IDC_ABOUT_PICTURE});
    return found != nullptr;
  });
  return found;
}

TEST_F(TrayTest, TheIconShowsAndHidesTheWindowAndComesBackAfterATaskbarRestart) {
  RECT normal{};
  {
    ClientRun run(install_);
    const HWND main = run.MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); })) << "hidden at start";
    ASSERT_TRUE(WaitUntil([&] { return ShellHasIcon(main); })) << "the icon is in the tray";

    ASSERT_EQ(run.ShowMainWindow(), main) << "the very first left click shows it";
    EXPECT_EQ(::GetForegroundWindow(), main);
    ::GetWindowRect(main, &normal);
    RECT before{};
    ::GetWindowRect(main, &before);
    ::SendMessageTimeoutW(main, kTrayCallback, kTrayIconId, WM_LBUTTONDBLCLK, SMTO_NORMAL, 5000,
                          nullptr);
    RECT after{};
    ::GetWindowRect(main, &after);
    EXPECT_TRUE(::EqualRect(&before, &after)) << "a second click does not move it";

    // Minimise, the close command and the close box hide the window; the program stays.
    for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>(WM_SYSCOMMAND, SC_MINIMIZE),
                                          {WM_SYSCOMMAND, SC_CLOSE},
                                          {WM_CLOSE, 0}}) {
      ::PostMessageW(main, kTrayCallback, kTrayIconId, WM_LBUTTONDOWN);
      ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }));
      ::PostMessageW(main, message, wParam, 0);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); })) << message << " " << wParam;
      EXPECT_TRUE(run.Running());
      EXPECT_TRUE(ShellHasIcon(main)) << "the icon stays";
    }

    // A restarted taskbar has lost the icon; its broadcast brings it back even though the
    // session notifications keep the desktop switch from running.
    NOTIFYICONDATAW gone{};
    gone.cbSize = NOTIFYICONDATAW_V1_SIZE;
    gone.hWnd = main;
    gone.uID = kTrayIconId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &gone));
    ASSERT_FALSE(ShellHasIcon(main));
    ::SendMessageTimeoutW(main, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_NORMAL,
                          5000, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ShellHasIcon(main); })) << "the icon is back";
    EXPECT_TRUE(run.ExitThroughTheButton());
    EXPECT_FALSE(ShellHasIcon(main)) << "the exit takes it away";
  }

  // A silent start with a 70-character title: the tip holds the first 63 characters, and the
  // menu's "Open" brings the parked window back centred on the work area at its normal size.
  const std::string version = "ver4.2.0-" + std::string(50, 'x');
  const std::string title = "QuorinFree " + version;
  ASSERT_EQ(title.size(), 70u);
  SetClientSetting("curVersion", version);
  ClientRun run(install_, L"-silent mw pw --time-scale 60");
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ShellHasIcon(main); })) << "timer 10 added the icon";
  // The record's line comes after the shell took the icon.
  EXPECT_TRUE(WaitUntil([&] {
    for (const std::string& line : Lines()) {
      if (line == "tray-add\t1\t" + title.substr(0, 63))
        return true;
    }
    return false;
  })) << ReadFileText(record_);
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; })) << "logged in";
  ::SendMessageTimeoutW(main, WM_COMMAND, ID_MENU_SHOW, 0, SMTO_NORMAL, 5000, nullptr);
  ASSERT_TRUE(::IsWindowVisible(main));
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  ::GetWindowRect(main, &frame);
  const int width = normal.right - normal.left;
  const int height = normal.bottom - normal.top;
  EXPECT_EQ(frame.right - frame.left, width);
  EXPECT_EQ(frame.bottom - frame.top, height);
  EXPECT_EQ(frame.left, work.left + (work.right - work.left - width) / 2);
  EXPECT_EQ(frame.top, work.top + (work.bottom - work.top - height) / 2);
  // Hidden and shown again by a click, it stays where it was.
  ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, nullptr);
  ASSERT_FALSE(::IsWindowVisible(main));
  ASSERT_EQ(run.ShowMainWindow(), main);
  RECT again{};
  ::GetWindowRect(main, &again);
  EXPECT_TRUE(::EqualRect(&frame, &again));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(TrayTest, ASilentStartOpensTheAdvertisementAndTakesTheAboutCaptionOnceLoggedIn) {
  install_.Write(L"Language.ini", LanguageIni());
  // An account whose key asks for the advertisement, and a login that answers only after the
  // tray icon is long in place (the icon's retry runs on the client's clock, 60 times faster).
  std::string accounts = kAccounts;
  accounts.replace(accounts.find("000127"), 6, "100127");
  simulator_.SetAccounts(accounts);
  simulator_.SetFault(
      R"({"server": "login", "path": "/client_login.php", "mode": "delay", "ms": 2000})");
  ClientRun run(install_, L"-silent mw pw --time-scale 60");
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ShellHasIcon(main); }));
  const auto pages = [&] {
    std::size_t count = 0;
    for (const std::string& line : Lines())
      count += line.rfind("html-page\t", 0) == 0 ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(WaitUntil([&] { return ControlVisible(main, IDC_LOGOUT); })) << "logged in";
  EXPECT_TRUE(WaitUntil([&] { return pages() > 0; })) << "the advertisement after the login";
  EXPECT_TRUE(WaitUntil([&] { return WindowText(main) == L"About box ver4.2.0"; }))
      << "the caption after the start's own login: " << Utf8(WindowText(main));
  EXPECT_TRUE(run.ExitThroughTheButton());
  EXPECT_EQ(pages(), 1u) << "opened once";
}

TEST_F(TrayTest, ThePopupMenuTakesItsLinksFromLanguageIniOrLosesThem) {
  const std::vector<std::string> shown = {"32784\t&Open QuorinFree\tpicture",
                                          "0\t\t-",
                                          "32776\t&Settings...\tpicture",
                                          "32781\tView the &log...\t-",
                                          "0\t\t-",
                                          "32786\tLink five\tpicture",
                                          "32787\tLink six\t-",
                                          "32788\tLink seven\t-",
                                          "0\t\t-",
                                          "32782\t&Help topics\t-",
                                          "57670\t&About QuorinFree...\t-",
                                          "0\t\t-",
                                          "32771\tLog &out\t-",
                                          "32785\tE&xit\t-"};
  std::vector<std::string> hidden = shown;
  hidden.erase(hidden.begin() + 4, hidden.begin() + 8);
  std::vector<std::string> untitled = shown;
  untitled[5] = "32786\t\tpicture";
  untitled[6] = "32787\t\t-";
  untitled[7] = "32788\t\t-";
  const std::string links = kLinkTexts;
  for (const auto& [menuKeys, expected] :
       std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"Menu_hide=hide\r\n" + links, hidden},
           {"Menu_hide=Hide\r\n" + links, shown},
           {links, shown},
           {"", untitled}}) {
    SCOPED_TRACE(menuKeys);
    install_.Write(L"Language.ini", LanguageIni(menuKeys));
    ClientRun run(install_);
    const HWND main = run.MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(OpenedMenu(run, main), expected);
    EXPECT_TRUE(run.ExitThroughTheButton());
  }
}

TEST_F(TrayTest, EachCommandReachesItsTarget) {
  install_.Write(L"Language.ini", LanguageIni());
  ClientRun run(install_, L"--time-scale 60");
  const HWND main = run.ShowMainWindow();
  ASSERT_NE(main, nullptr);

  // The web commands: Language.ini's addresses with "open"; "suggest" is missing: nothing.
  const std::vector<std::pair<WPARAM, std::string>> links = {
      {ID_MENU_REGISTER_GUIDE, "http://guide.test/"}, {ID_MENU_LINK5, "https://site.test/"},
      {ID_MENU_PROVIDER_SITE, "https://site.test/"},  {ID_MENU_LINK6, "http://mirka.test/"},
      {ID_MENU_LINK7, "http://dorn.test/"},           {ID_MENU_DOMAINS, "http://domains.test/"},
      {ID_MENU_HELP_FRIEND, "http://friend.test/"},   {IDC_LINK, "http://guide.test/"}};
  for (const auto& [command, address] : links) {
    EXPECT_EQ(AfterCommand(main, command), std::vector<std::string>{"shell-open\topen\t" + address})
        << command;
  }
  EXPECT_TRUE(AfterCommand(main, ID_MENU_SUGGEST).empty());
  EXPECT_EQ(run.MessageDialog(0), nullptr) << "a missing address shows nothing";
  EXPECT_EQ(AfterCommand(main, ID_MENU_HELP_FILE),
            std::vector<std::string>{"shell-open\t\t" + Utf8(install_.File(L"tilro.chm"))});

  // An ERP installation's link button shows the provider's frame page in the HTML dialog.
  SetClientSetting("erp", "1");
  SetClientSetting("ProviderSite", "http://erp.test/");
  EXPECT_EQ(AfterCommand(main, IDC_LINK),
            std::vector<std::string>{
                "html-page\thttp://erp.test/ddns_client/ddns_client_tlerp_frame.php"});

  // The about box from the window menu, the about button and the system menu's item.
  for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>(WM_COMMAND, ID_MENU_ABOUT),
                                        {WM_COMMAND, IDC_OPEN_ABOUT},
                                        {WM_SYSCOMMAND, 0x10}}) {
    ::PostMessageW(main, message, wParam, 0);
    const HWND about = AboutBox(run);
    ASSERT_NE(about, nullptr) << message << " " << wParam;
    if (wParam == ID_MENU_ABOUT) {
      // The window is disabled under the box: the tray's commands are handled at once (sent:
      // the call returns when they are done) and only bring the box forward.
      ASSERT_FALSE(::IsWindowEnabled(main));
      const std::size_t before = Lines().size();
      for (const WPARAM command : {ID_MENU_SETTINGS, ID_MENU_LOG, ID_MENU_TRAY_EXIT}) {
        EXPECT_NE(::SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_NORMAL, 5000, nullptr),
                  0)
            << command;
      }
      EXPECT_NE(::SendMessageTimeoutW(main, kTrayCallback, kTrayIconId, WM_RBUTTONDOWN, SMTO_NORMAL,
                                      5000, nullptr),
                0);
      EXPECT_TRUE(Lines(before).empty()) << "no menu tracked";
      EXPECT_EQ(run.MessageDialog(0), nullptr) << "no exit confirmation";
      EXPECT_EQ(FindWindowWithControls(run.processId(), {IDC_AUTO_START}), nullptr);
      EXPECT_EQ(FindWindowWithControls(run.processId(), {IDC_LOG_LIST}), nullptr);
      EXPECT_TRUE(::IsWindowVisible(about));
    }
    EXPECT_EQ(WindowText(about), L"About box");
    EXPECT_EQ(ControlText(about, IDC_ABOUT_TITLE), L"QuorinFree ver4.2.0");
    EXPECT_EQ(ControlText(about, IDC_ABOUT_TEXT1), L"Line one");
    EXPECT_EQ(ControlText(about, IDC_ABOUT_TEXT2), L"Line two");
    EXPECT_EQ(ControlText(about, IDC_ABOUT_TEXT3), L"Line three");
    EXPECT_NE(::SendDlgItemMessageW(about, IDC_ABOUT_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0), 0)
        << "the skin's picture";
    PostButtonClick(about, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));
  }

  // Show, logout and the two exits.
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }));
  ::PostMessageW(main, WM_COMMAND, ID_MENU_SHOW, 0);
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }));
  ::SendDlgItemMessageW(main, IDC_ACCOUNT_NAME, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"mw"));
  ::SendDlgItemMessageW(main, IDC_PASSWORD, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"pw"));
  PostButtonClick(main, IDC_LOGIN);
  ASSERT_TRUE(WaitUntil([&] { return ControlVisible(main, IDC_LOGOUT); }));
  ::PostMessageW(main, WM_COMMAND, ID_MENU_LOGOUT, 0);
  EXPECT_TRUE(WaitUntil([&] { return ControlVisible(main, IDC_LOGIN); })) << "logged out";
  for (const WPARAM command : {ID_MENU_EXIT, ID_MENU_TRAY_EXIT}) {
    ::PostMessageW(main, WM_COMMAND, command, 0);
    const HWND confirm = run.MessageDialog();
    ASSERT_NE(confirm, nullptr) << command;
    ::PostMessageW(confirm, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(confirm); }));
  }
  EXPECT_TRUE(run.Running()) << "a cancelled exit keeps the program";
  EXPECT_TRUE(run.ExitThroughTheButton());
}

// Run once per screen size and language (see CMakeLists.txt).
TEST_F(TrayTest, ScreenshotsOfThePopupMenuAndTheAboutBox) {
  const std::wstring tag =
      Environment(L"QUORIN_SHOT_TAG").empty() ? L"96_en" : Environment(L"QUORIN_SHOT_TAG");
  ClientRun run(install_);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(OpenedMenu(run, main, L"tray_menu_" + tag).size(), 14u);
  ::PostMessageW(main, WM_COMMAND, ID_MENU_ABOUT, 0);
  const HWND about = AboutBox(run);
  ASSERT_NE(about, nullptr);
  Sync(about);
  EXPECT_TRUE(TakeScreenshot(L"about_box_" + tag));
  EXPECT_EQ(LayoutFaults(about), std::vector<std::string>{});
  PostButtonClick(about, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

}  // namespace
}  // namespace quorin::shelltest
