// The dialog framework: data exchange, the modal loop and its pre-translation, the start-up
// helpers that search windows, and the skin host with the skin control stand-in.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "client/app/product_title.h"
#include "client/app/quorin_app.h"
#include "client/app/quorin_dlg.h"
#include "client/app/skin_host.h"
#include "client/app/start_up_steps.h"
#include "client/framework/app_base.h"
#include "client/framework/dialog_base.h"
#include "client/framework/dpi.h"
#include "client/framework/resource_module.h"
#include "client/monitor/status_refresh.h"
#include "client/record/client_context.h"
#include "resources/resource.h"
#include "tests/shell/window_test_resources.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

// The settings template with three members bound to its controls.
class SettingsLikeDialog : public client::CDialogBase {
 public:
  SettingsLikeDialog() : CDialogBase(IDD_SETTINGS) {}
  std::string server = "服务器 1";
  int autoStart = 1;
  int maxLog = 100;

 protected:
  void DoDataExchange(client::DataExchange& exchange) override {
    exchange.Text(IDC_SERVER_ADDRESS, server, 15);
    exchange.Check(IDC_AUTO_START, autoStart);
    exchange.Number(IDC_MAX_LOG, maxLog, 0, 500);
  }
};

// Answers the range message that a refused number shows (a message box of this thread).
class RangeMessageAnswerer {
 public:
  explicit RangeMessageAnswerer(DWORD threadId)
      : thread_([this, threadId] {
          WaitUntil(
              [&] {
                for (const HWND window : VisibleWindowsOfThread(threadId)) {
                  for (const std::wstring& text : ChildTexts(window)) {
                    if (text.find(L"between 0 and 500") != std::wstring::npos) {
                      seen_ = true;
                      ::PostMessageW(window, WM_COMMAND, IDOK, 0);
                      return true;
                    }
                  }
                }
                return false;
              },
              10s);
        }) {}
  ~RangeMessageAnswerer() {
    if (thread_.joinable())
      thread_.join();
  }
  bool Seen() {
    thread_.join();
    thread_ = std::thread();
    return seen_;
  }

 private:
  bool seen_ = false;
  std::thread thread_;
};

class DialogFrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(UseInstalledResources(), nullptr); }
};

TEST_F(DialogFrameworkTest, DataExchangeCopiesBothWays) {
  SettingsLikeDialog dialog;
  ASSERT_TRUE(dialog.Create());
  // Creation writes the members into the controls.
  EXPECT_EQ(ControlText(dialog.hwnd(), IDC_SERVER_ADDRESS), L"服务器 1");
  EXPECT_EQ(::IsDlgButtonChecked(dialog.hwnd(), IDC_AUTO_START), BST_CHECKED);
  EXPECT_EQ(ControlText(dialog.hwnd(), IDC_MAX_LOG), L"100");

  ::SetDlgItemTextW(dialog.hwnd(), IDC_SERVER_ADDRESS, L"192.168.100.200:5353");
  ::CheckDlgButton(dialog.hwnd(), IDC_AUTO_START, BST_UNCHECKED);
  ::SetDlgItemTextW(dialog.hwnd(), IDC_MAX_LOG, L" 500 ");
  EXPECT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.server, "192.168.100.200");  // cut to 15 bytes
  EXPECT_EQ(dialog.autoStart, 0);
  EXPECT_EQ(dialog.maxLog, 500);
  dialog.DestroyWindow();
  EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST_F(DialogFrameworkTest, ANumberOutOfRangeIsRefusedAndNothingIsStored) {
  SettingsLikeDialog dialog;
  ASSERT_TRUE(dialog.Create());
  for (const wchar_t* refused : {L"501", L"-1", L"12abc", L"", L"99999999999"}) {
    ::SetDlgItemTextW(dialog.hwnd(), IDC_MAX_LOG, refused);
    ::CheckDlgButton(dialog.hwnd(), IDC_AUTO_START, BST_UNCHECKED);
    RangeMessageAnswerer answerer(::GetCurrentThreadId());
    EXPECT_FALSE(dialog.UpdateData(true)) << Utf8(refused);
    EXPECT_TRUE(answerer.Seen()) << Utf8(refused);
    EXPECT_EQ(dialog.maxLog, 100);
    // The exchange stops at the refused control; the number gets the focus.
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog.hwnd(), IDC_MAX_LOG));
  }
  dialog.DestroyWindow();
}

// An application whose main dialog runs modally and ends when a thread message tells it to.
constexpr UINT kEndMessage = WM_APP + 7;

class LoopDialog : public client::CDialogBase {
 public:
  LoopDialog() : CDialogBase(IDD_MESSAGE) {}

 protected:
  bool OnInitDialog() override {
    CDialogBase::OnInitDialog();
    // Thread messages (no window) arrive while the modal loop runs.
    ::PostThreadMessageW(::GetCurrentThreadId(), client::kWmStatusRefresh, 0, 0);
    ::PostThreadMessageW(::GetCurrentThreadId(), kEndMessage, 0, 0);
    return true;
  }
};

class LoopApp : public client::CAppBase {
 public:
  int refreshes = 0;
  INT_PTR dialogResult = 0;
  bool currentDuringRun = false;
  std::string arguments;

  bool PreTranslateMessage(MSG& message) override {
    if (message.message == client::kWmStatusRefresh)
      ++refreshes;
    if (message.message == kEndMessage)
      dialog_.EndDialog(7);
    return CAppBase::PreTranslateMessage(message);
  }

 protected:
  bool InitInstance() override {
    currentDuringRun = client::CAppBase::Current() == this;
    arguments = CommandArguments();
    dialogResult = dialog_.DoModal();
    return false;
  }

 private:
  LoopDialog dialog_;
};

TEST_F(DialogFrameworkTest, TheModalLoopHandsThreadMessagesToTheApplication) {
  LoopApp app;
  EXPECT_EQ(app.Run(L"victim.txt 中"), 0);
  EXPECT_TRUE(app.currentDuringRun);
  EXPECT_EQ(app.arguments, "victim.txt 中");
  EXPECT_EQ(app.refreshes, 1);
  EXPECT_EQ(app.dialogResult, 7);
  EXPECT_EQ(client::CAppBase::Current(), nullptr);
}

class EndsAtOnce : public client::CDialogBase {
 public:
  EndsAtOnce() : CDialogBase(IDD_MESSAGE) {}
  bool everVisible = false;

 protected:
  bool OnInitDialog() override {
    EndDialog(42);
    return true;
  }
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    if (message == WM_SHOWWINDOW && wParam != 0)
      everVisible = true;
    return std::nullopt;
  }
};

class QuitsInside : public client::CDialogBase {
 public:
  QuitsInside() : CDialogBase(IDD_MESSAGE) {}

 protected:
  bool OnInitDialog() override {
    ::PostQuitMessage(3);
    return true;
  }
};

TEST_F(DialogFrameworkTest, EndingEarlyAndQuittingEndTheModalLoop) {
  EndsAtOnce early;
  EXPECT_EQ(early.DoModal(), 42);
  EXPECT_FALSE(early.everVisible);
  EXPECT_EQ(early.hwnd(), nullptr);

  // WM_QUIT ends the dialog without an answer and stays in the queue for the outer loop.
  QuitsInside quitting;
  EXPECT_EQ(quitting.DoModal(), -1);
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

TEST_F(DialogFrameworkTest, ARunningClientIsFoundByItsTitleProperty) {
  const auto makeWindow = [] {
    return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  };
  const HWND marked = makeWindow();
  const HWND other = makeWindow();
  ASSERT_NE(marked, nullptr);
  EXPECT_EQ(client::FindRunningClient("QuorinFree test-1.0"), nullptr);
  client::MarkClientWindow(marked, "QuorinFree test-1.0");
  // A property of another value does not count.
  ::SetPropW(other, L"QuorinFree test-2.0", reinterpret_cast<HANDLE>(2));
  EXPECT_EQ(client::FindRunningClient("QuorinFree test-1.0"), marked);
  EXPECT_EQ(client::FindRunningClient("QuorinFree test-2.0"), nullptr);
  EXPECT_EQ(client::FindRunningClient("QuorinFree test-1."), nullptr);
  EXPECT_EQ(client::FindRunningClient(""), nullptr);
  client::UnmarkClientWindow(marked, "QuorinFree test-1.0");
  EXPECT_EQ(client::FindRunningClient("QuorinFree test-1.0"), nullptr);
  ::RemovePropW(other, L"QuorinFree test-2.0");
  ::DestroyWindow(marked);
  ::DestroyWindow(other);
}

// The first main window, created modeless inside this program from the installed files.
class MainDialogProbe : public client::CQuorinFreeDlg {
 public:
  using CQuorinFreeDlg::CQuorinFreeDlg;
};

TEST_F(DialogFrameworkTest, TheMainWindowShowsTheLoginViewAndItsTexts) {
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(Environment(L"QUORIN_SHELL_INSTALL").c_str()));
  client::SetProductTitle("QuorinFree probe-1");
  client::GetClientContext().SetStatusText(4, "203.0.113.9");
  {
    MainDialogProbe dialog;
    ASSERT_TRUE(dialog.Create());
    const HWND window = dialog.hwnd();
    // The caption from Language.ini and the version; the window findable by its title.
    EXPECT_EQ(WindowText(window), L"QuorinFree ver4.2.0");
    EXPECT_EQ(client::FindRunningClient("QuorinFree probe-1"), window);
    EXPECT_EQ(ControlText(window, IDC_STATUS_ADDRESS), L"203.0.113.9");
    // The record's placeholder, in the interface language.
    EXPECT_EQ(ControlText(window, IDC_STATUS_USER),
              Wide(client::LoadResourceText(IDS_NOT_LOGGED_IN)));
    EXPECT_EQ(ControlText(window, IDC_LINK), Wide(client::LoadResourceText(57722)));
    EXPECT_TRUE(ControlVisible(window, IDC_LOGIN));
    EXPECT_FALSE(ControlVisible(window, IDC_LOGOUT));
    EXPECT_EQ(LayoutFaults(window), std::vector<std::string>{});
    // The font the layout check gives another process's dialogs is this dialog's own.
    LOGFONTW own{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)), sizeof own,
                 &own);
    const LOGFONTW rebuilt = LibraryDialogFont(
        Environment(L"QUORIN_SHELL_INSTALL") + L"\\uires.dll", client::WindowDpi(window));
    EXPECT_EQ(rebuilt.lfHeight, own.lfHeight);
    EXPECT_STREQ(rebuilt.lfFaceName, own.lfFaceName);
    // The window menu: texts from Language.ini and the settings picture on the first item.
    const HMENU menu = ::GetMenu(window);
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, ID_MENU_ABOUT, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&About QuorinFree...");
    ::GetMenuStringW(menu, ID_MENU_PROVIDER_SITE, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Provider &web site");
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(::GetMenuItemInfoW(::GetSubMenu(menu, 0), 0, TRUE, &item));
    EXPECT_NE(item.hbmpUnchecked, nullptr);
    EXPECT_EQ(item.hbmpChecked, item.hbmpUnchecked);
    // A refresh shows the record's new texts.
    client::GetClientContext().SetStatusText(4, "198.51.100.7");
    dialog.Refresh();
    EXPECT_EQ(ControlText(window, IDC_STATUS_ADDRESS), L"198.51.100.7");
    dialog.DestroyWindow();
    EXPECT_EQ(client::FindRunningClient("QuorinFree probe-1"), nullptr);
  }
  client::GetClientContext().SetStatusText(4, "");
  ::SetCurrentDirectoryW(previous);
}

TEST(ProductTitleTest, TheVersionFillsTheFirstPlaceholderOnly) {
  using client::FormatProductTitle;
  EXPECT_EQ(FormatProductTitle("QuorinFree %s", "ver4.2.0"), "QuorinFree ver4.2.0");
  EXPECT_EQ(FormatProductTitle("%s (%s)", "v1"), "v1 (%s)");  // never read past the argument
  EXPECT_EQ(FormatProductTitle("100%% %s", "v1"), "100% v1");
  EXPECT_EQ(FormatProductTitle("%d %n %s", "v1"), "%d %n v1");  // no conversions but %s
  EXPECT_EQ(FormatProductTitle("trailing %", "v1"), "trailing %");
  EXPECT_EQ(FormatProductTitle("no placeholder", "v1"), "no placeholder");
  EXPECT_EQ(FormatProductTitle("", "v1"), "");
}

// The skin host finds the installed skin control the way the installed client does: through
// the client program's manifest, which names the control's class in QuorinSkin.dll beside it.
class ClientManifest {
 public:
  explicit ClientManifest(const std::wstring& install) {
    const std::wstring program = install + L"\\QuorinFree.exe";
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    context.lpAssemblyDirectory = install.c_str();
    handle_ = ::CreateActCtxW(&context);
    if (handle_ != INVALID_HANDLE_VALUE)
      active_ = ::ActivateActCtx(handle_, &cookie_) != FALSE;
  }
  ~ClientManifest() {
    if (active_)
      ::DeactivateActCtx(0, cookie_);
    if (handle_ != INVALID_HANDLE_VALUE)
      ::ReleaseActCtx(handle_);
  }
  bool active() const { return active_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

TEST_F(DialogFrameworkTest, TheSkinHostFindsTheSkinControlBesideTheClient) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    const ClientManifest manifest(Environment(L"QUORIN_SHELL_INSTALL"));
    ASSERT_TRUE(manifest.active());
    client::SkinHostDialog host;
    ASSERT_TRUE(host.Create());
    EXPECT_FALSE(::IsWindowVisible(host.hwnd()));  // never shown
    ASSERT_NE(client::SkinObject(), nullptr);

    // Skinning leaves a window as it is.
    const HWND window = ::CreateWindowExW(0, L"BUTTON", L"Look", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                          10, 20, 200, 100, nullptr, nullptr, nullptr, nullptr);
    RECT before;
    ::GetWindowRect(window, &before);
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    client::ApplySkinTo(window);
    RECT after;
    ::GetWindowRect(window, &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
    EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE), style);
    EXPECT_EQ(WindowText(window), L"Look");
    ::DestroyWindow(window);

    // Another thread never calls into the object of this thread's apartment.
    std::thread([] { client::ApplySkinTo(::GetDesktopWindow()); }).join();

    client::ReleaseSkinObject();
    EXPECT_EQ(client::SkinObject(), nullptr);
    client::ApplySkinTo(host.hwnd());  // harmless without an object
  }
  // A program without that manifest (and without a registration) gets no skin object.
  {
    client::SkinHostDialog host;
    ASSERT_TRUE(host.Create());
    EXPECT_EQ(client::SkinObject(), nullptr);
  }
  ::CoUninitialize();
}

}  // namespace
}  // namespace quorin::shelltest
