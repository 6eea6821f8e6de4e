// The installed client's main window and its exit: the login view, the confirmation in the
// message dialog, its countdown, and the screenshots of both at 96 and 144 DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetClientSettings(); }
  void TearDown() override { SetScreenDpi(96); }
};

TEST_F(MainWindowTest, TheLoginViewAndTheExitConfirmationAtBothScreenSizes) {
  for (const DWORD dpi : {96u, 144u}) {
    SetScreenDpi(dpi);  // read by each new program
    InstallCopy install;
    ClientRun run(install);
    const HWND main = run.ShowMainWindow();
    ASSERT_NE(main, nullptr) << dpi;
    EXPECT_EQ(WindowText(main), L"QuorinFree ver4.2.0");
    // The login view: its controls shown, the logged-in view's hidden, the shared ones shown.
    for (const int id : {IDC_ACCOUNT_NAME, IDC_PASSWORD, IDC_SAVE_PASSWORD, IDC_LOGIN, IDC_LINK,
                         IDC_ACCOUNT_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_HINT, IDC_LOGIN_HEADING,
                         IDC_EXIT, IDC_OPEN_SETTINGS, IDC_SELECT_ALL, IDC_STATUS_LINE}) {
      EXPECT_TRUE(ControlVisible(main, id)) << id;
    }
    for (const int id : {IDC_LOGOUT, IDC_DOMAINS_LABEL, IDC_REFRESH_DOMAINS, IDC_SAVE_CHANGES}) {
      EXPECT_FALSE(ControlVisible(main, id)) << id;
    }
    EXPECT_EQ(ControlText(main, IDC_LINK), L"Register...");  // string 57722 without "erp"
    EXPECT_EQ(ControlText(main, IDC_STATUS_USER), L"<not logged in>");
    const std::wstring suffix = dpi == 96 ? L"96dpi" : L"144dpi";
    EXPECT_TRUE(TakeScreenshot(L"main_window_login_view_" + suffix));
    EXPECT_EQ(LayoutFaults(main), std::vector<std::string>{}) << dpi;

    // Enter and Escape do nothing.
    EXPECT_TRUE(CommandLeavesTheWindowOpen(run, main, IDOK));
    EXPECT_TRUE(CommandLeavesTheWindowOpen(run, main, IDCANCEL));
    EXPECT_EQ(run.MessageDialog(0), nullptr);

    PostButtonClick(main, IDC_EXIT);
    const HWND confirm = run.MessageDialog();
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(ControlText(confirm, IDC_MESSAGE_TEXT),
              L"Exit QuorinFree? Your domains will no longer be updated.");
    EXPECT_EQ(::GetWindow(confirm, GW_OWNER), main);
    EXPECT_TRUE(TakeScreenshot(L"message_dialog_exit_" + suffix));
    EXPECT_EQ(LayoutFaults(confirm), std::vector<std::string>{}) << dpi;
    PostButtonClick(confirm, IDOK);
    const auto code = run.WaitForExit();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
  }
}

TEST_F(MainWindowTest, CancellingTheConfirmationKeepsTheClientRunning) {
  InstallCopy install;
  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  PostButtonClick(main, IDC_EXIT);
  const HWND confirm = run.MessageDialog();
  ASSERT_NE(confirm, nullptr);
  // The confirmation has one button; Escape (or its close box) answers Cancel.
  EXPECT_FALSE(ControlVisible(confirm, IDCANCEL));
  ::PostMessageW(confirm, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(confirm); }));
  EXPECT_TRUE(run.Running());
  EXPECT_TRUE(::IsWindowEnabled(main));  // the owner works again
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(MainWindowTest, AnUnansweredExitConfirmationClosesAsOkAndTheClientEnds) {
  InstallCopy install;
  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  PostButtonClick(main, IDC_EXIT);
  const HWND confirm = run.MessageDialog();
  ASSERT_NE(confirm, nullptr);
  EXPECT_EQ(ControlText(confirm, IDC_MESSAGE_COUNTDOWN), L"15");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitUntil([&] { return ControlText(confirm, IDC_MESSAGE_COUNTDOWN) == L"13"; }));
  // Nobody answers: fifteen seconds later the dialog closes as OK and the client ends.
  const auto code = run.WaitForExit(60000);
  ASSERT_TRUE(code.has_value());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 10s);
}

}  // namespace
}  // namespace quorin::shelltest
