// ClientMessageBox (template 154) run on a worker thread, as the address monitor runs it, and
// watched and clicked from the test's thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "client/app/message_dialog.h"
#include "client/app/outside_components.h"
#include "client/app/quorin_dlg.h"
#include "client/framework/resource_module.h"
#include "resources/resource.h"
#include "tests/shell/window_test_resources.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

// One ClientMessageBox call on a thread of its own.
class MessageBoxRun {
 public:
  template <typename Call>
  explicit MessageBoxRun(Call call)
      : thread_([this, call] {
          threadId_ = ::GetCurrentThreadId();
          result_ = call();
          finished_ = true;
        }) {}
  ~MessageBoxRun() {
    if (thread_.joinable())
      thread_.join();
  }

  // The dialog once it shows; null when it did not within the time limit.
  HWND Dialog() {
    HWND found = nullptr;
    WaitUntil([&] {
      if (threadId_ == 0)
        return false;
      for (const HWND window : VisibleWindowsOfThread(threadId_)) {
        if (::GetDlgItem(window, IDC_MESSAGE_COUNTDOWN) != nullptr)
          found = window;
      }
      return found != nullptr;
    });
    return found;
  }
  int Result() {
    WaitUntil([&] { return finished_.load(); }, 30s);
    if (thread_.joinable())
      thread_.join();
    return result_;
  }
  bool Finished() const { return finished_; }

 private:
  std::atomic<DWORD> threadId_{0};
  std::atomic<int> result_{-2};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

class MessageDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(UseInstalledResources(), nullptr);
    client::SetMessageBoxTickPeriod(1000ms);
  }
  void TearDown() override { client::SetMessageBoxTickPeriod(1000ms); }

  static std::wstring Text(unsigned id) { return Wide(client::LoadResourceText(id)); }
};

TEST_F(MessageDialogTest, SingleButtonKindsShowOnlyOk) {
  for (const int kind : {0, 2, 3, 7}) {
    MessageBoxRun run([kind] { return client::ClientMessageBox("Single", kind); });
    const HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr) << "kind " << kind;
    EXPECT_TRUE(ControlVisible(dialog, IDOK));
    EXPECT_FALSE(ControlVisible(dialog, IDCANCEL)) << "kind " << kind;
    EXPECT_EQ(ControlText(dialog, IDOK), Text(IDS_BUTTON_OK));
    EXPECT_FALSE(ControlVisible(dialog, IDC_MESSAGE_CHECK));
    // The one button stands where the second would, at the right.
    RECT button;
    RECT client;
    ::GetWindowRect(::GetDlgItem(dialog, IDOK), &button);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
    ::GetClientRect(dialog, &client);
    EXPECT_GT(button.left, client.right * 2 / 3) << "kind " << kind;
    PostButtonClick(dialog, IDOK);
    EXPECT_EQ(run.Result(), IDOK);
  }
}

TEST_F(MessageDialogTest, TwoButtonKindsAndTheSecondButtonLeavesTheCheckValue) {
  // First an OK with the box checked sets the value to 1.
  {
    MessageBoxRun run([] { return client::ClientMessageBox("Remember?", 1, true, "Yes", 1); });
    const HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDOK), Text(IDS_BUTTON_OK));
    EXPECT_EQ(ControlText(dialog, IDCANCEL), Text(IDS_BUTTON_CANCEL));
    EXPECT_TRUE(ControlVisible(dialog, IDCANCEL));
    PostButtonClick(dialog, IDOK);
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_EQ(client::MessageBoxCheckValue(), 1);
  }
  // Kind 4 says Yes and No; the second button cancels and the unchecked box is not taken.
  {
    MessageBoxRun run([] { return client::ClientMessageBox("Really?", 4, true, "Again", 0); });
    const HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDOK), Text(IDS_BUTTON_YES));
    EXPECT_EQ(ControlText(dialog, IDCANCEL), Text(IDS_BUTTON_NO));
    EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_MESSAGE_CHECK), BST_UNCHECKED);
    PostButtonClick(dialog, IDCANCEL);
    EXPECT_EQ(run.Result(), IDCANCEL);
    EXPECT_EQ(client::MessageBoxCheckValue(), 1);
  }
  // OK takes the box's final state, also one the user changed.
  {
    MessageBoxRun run([] { return client::ClientMessageBox("Once more", 1, true, "Box", 1); });
    const HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(ControlVisible(dialog, IDC_MESSAGE_CHECK));
    EXPECT_EQ(ControlText(dialog, IDC_MESSAGE_CHECK), L"Box");
    ::SendMessageW(::GetDlgItem(dialog, IDC_MESSAGE_CHECK), BM_CLICK, 0, 0);
    PostButtonClick(dialog, IDOK);
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_EQ(client::MessageBoxCheckValue(), 0);
  }
}

TEST_F(MessageDialogTest, TheCountdownClosesTheDialogAsOk) {
  client::SetMessageBoxTickPeriod(40ms);
  const auto start = std::chrono::steady_clock::now();
  MessageBoxRun run([] { return client::ClientMessageBox("Nobody answers", 1, true, "x", 1); });
  const HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  // The countdown is shown and goes down one step at a time from 15.
  int lowest = 99;
  WaitUntil(
      [&] {
        if (run.Finished())
          return true;
        const std::wstring text = ControlText(dialog, IDC_MESSAGE_COUNTDOWN);
        if (!text.empty())
          lowest = std::min(lowest, std::stoi(text));
        return false;
      },
      10s);
  EXPECT_LT(lowest, client::kMessageCountdownStart);
  EXPECT_EQ(run.Result(), IDOK);
  EXPECT_EQ(client::MessageBoxCheckValue(), 1);  // closing by itself counts as OK
  // Fifteen steps and the final one that closes it.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 16 * 40ms);
}

TEST_F(MessageDialogTest, AParentThatIsGoneStillGivesADialogThatClosesItself) {
  client::SetMessageBoxTickPeriod(20ms);
  const HWND parent = ::CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  ::DestroyWindow(parent);
  MessageBoxRun run(
      [parent] { return client::ClientMessageBox("Orphan", 0, false, {}, 0, parent); });
  EXPECT_NE(run.Dialog(), nullptr);
  EXPECT_EQ(run.Result(), IDOK);
}

TEST_F(MessageDialogTest, TheOwnerIsDisabledWhileTheDialogShows) {
  std::atomic<HWND> owner{nullptr};
  MessageBoxRun run([&owner] {
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                          50, nullptr, nullptr, nullptr, nullptr);
    owner = window;
    const int result = client::ClientMessageBox("Owned", 0, false, {}, 0, window);
    const bool enabledAgain = ::IsWindowEnabled(window) != FALSE;
    ::DestroyWindow(window);
    return enabledAgain ? result : -100;
  });
  const HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(owner.load()));
  EXPECT_EQ(::GetWindow(dialog, GW_OWNER), owner.load());
  PostButtonClick(dialog, IDOK);
  EXPECT_EQ(run.Result(), IDOK);  // -100 would mean the owner stayed disabled
}

TEST_F(MessageDialogTest, TextsAreCutToTheirBuffersAndShownAsTheyAre) {
  MessageBoxRun run([] {
    return client::ClientMessageBox(std::string(300, 'x'), 0, true, std::string(400, 'y'), 0);
  });
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_MESSAGE_TEXT).size(), 255u);
  EXPECT_EQ(ControlText(dialog, IDC_MESSAGE_CHECK).size(), 255u);
  PostButtonClick(dialog, IDOK);
  run.Result();

  // Chinese texts: 90 characters of three bytes each are cut after 85, never inside one.
  std::string longChinese;
  for (int i = 0; i < 90; ++i)
    longChinese += "中";
  MessageBoxRun chinese([&longChinese] { return client::ClientMessageBox(longChinese); });
  dialog = chinese.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_MESSAGE_TEXT), std::wstring(85, L'中'));
  PostButtonClick(dialog, IDOK);
  chinese.Result();

  MessageBoxRun fixed([] { return client::ClientMessageBox("网络初始化失败"); });
  dialog = fixed.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_MESSAGE_TEXT), L"网络初始化失败");
  // '&' is no mnemonic in a message.
  EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(dialog, IDC_MESSAGE_TEXT), GWL_STYLE) & SS_NOPREFIX);
  EXPECT_TRUE(TakeScreenshot(L"message_dialog_in_test_program"));
  PostButtonClick(dialog, IDOK);
  fixed.Result();
}

RECT PlaceIn(HWND dialog, int id) {
  RECT place;
  ::GetWindowRect(::GetDlgItem(dialog, id), &place);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

TEST_F(MessageDialogTest, TheDialogFitsItsTextAndNothingOverlaps) {
  const auto measure = [](std::string text, bool withCheckBox) {
    MessageBoxRun run([text, withCheckBox] {
      return client::ClientMessageBox(text, 1, withCheckBox, "Do not ask again", 0);
    });
    const HWND dialog = run.Dialog();
    EXPECT_NE(dialog, nullptr);
    if (dialog == nullptr)
      return LONG{0};
    const RECT message = PlaceIn(dialog, IDC_MESSAGE_TEXT);
    const RECT check = PlaceIn(dialog, IDC_MESSAGE_CHECK);
    const RECT ok = PlaceIn(dialog, IDOK);
    const RECT countdown = PlaceIn(dialog, IDC_MESSAGE_COUNTDOWN);
    RECT client;
    ::GetClientRect(dialog, &client);
    // Text, check box and the button row follow one another inside the window.
    if (withCheckBox) {
      EXPECT_LE(message.bottom, check.top);
      EXPECT_LE(check.bottom, ok.top);
    } else {
      EXPECT_LE(message.bottom, ok.top);
    }
    EXPECT_LE(message.bottom, countdown.top);
    EXPECT_LE(ok.bottom, client.bottom);
    // No more than a few lines of space between the text and the buttons.
    EXPECT_LT(ok.top - message.bottom, 5 * (countdown.bottom - countdown.top));
    RECT frame;
    ::GetWindowRect(dialog, &frame);
    PostButtonClick(dialog, IDOK);
    run.Result();
    return frame.bottom - frame.top;
  };
  const LONG oneLine = measure("Short.", false);
  const LONG oneLineWithBox = measure("Short.", true);
  std::string longText;
  for (int i = 0; i < 20; ++i)
    longText += "A longer message that wraps. ";
  const LONG manyLines = measure(longText.substr(0, 250), true);
  EXPECT_LT(oneLine, oneLineWithBox);
  EXPECT_LT(oneLineWithBox, manyLines);
}

TEST_F(MessageDialogTest, TheLibraryEntryPointShowsTheSameDialog) {
  const MessageBoxFunction entry = &client::LibraryMessageBox;
  MessageBoxRun run([entry] { return entry("From the library", 1, 0, nullptr, 0, nullptr); });
  const HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_MESSAGE_TEXT), L"From the library");
  EXPECT_TRUE(ControlVisible(dialog, IDCANCEL));
  PostButtonClick(dialog, IDCANCEL);
  EXPECT_EQ(run.Result(), IDCANCEL);

  MessageBoxRun empty([entry] { return entry(nullptr, 0, 1, nullptr, 1, nullptr); });
  const HWND second = empty.Dialog();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ControlText(second, IDC_MESSAGE_TEXT), L"");
  PostButtonClick(second, IDOK);
  EXPECT_EQ(empty.Result(), IDOK);
}

// The system refuses the domain grid's window, as it does when it has no more to give.
LRESULT CALLBACK RefuseTheDomainGrid(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    wchar_t name[64] = {};
    ::GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
    if (std::wstring(name) == L"QuorinFree.TreeGrid")
      return 1;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MessageDialogTest, AMainWindowWithoutItsGridSaysSoAndEnds) {
  std::atomic<DWORD> windowThread{0};
  MessageBoxRun run([&windowThread] {
    windowThread = ::GetCurrentThreadId();
    const HHOOK hook =
        ::SetWindowsHookExW(WH_CBT, RefuseTheDomainGrid, nullptr, ::GetCurrentThreadId());
    client::CQuorinFreeDlg dialog;
    const INT_PTR result = dialog.DoModal(nullptr);
    ::UnhookWindowsHookEx(hook);
    return static_cast<int>(result);
  });
  const HWND message = run.Dialog();
  if (message == nullptr) {
    // A window that stays up without its grid would hold the thread for ever.
    ::PostThreadMessageW(windowThread, WM_QUIT, 0, 0);
    run.Result();
    FAIL() << "no message about the grid";
  }
  EXPECT_EQ(ControlText(message, IDC_MESSAGE_TEXT), Text(IDS_GRID_FAILED));
  PostButtonClick(message, IDOK);
  if (!WaitUntil([&] { return run.Finished(); }, 30s)) {
    ::PostThreadMessageW(windowThread, WM_QUIT, 0, 0);
    run.Result();
    FAIL() << "the window did not end";
  }
  EXPECT_EQ(run.Result(), 0);
}

}  // namespace
}  // namespace quorin::shelltest
