// The window framework: objects found from a window's first message, subclassing and the
// reflection of notifications, the message loop's filters and idle handlers, refresh requests
// that survive a modal loop the framework does not own, and off-screen painting.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "client/framework/dialog_base.h"
#include "client/framework/dpi.h"
#include "client/framework/gdi_objects.h"
#include "client/framework/message_loop.h"
#include "client/framework/paint_dc.h"
#include "client/framework/status_refresh_window.h"
#include "client/framework/window_base.h"
#include "client/monitor/status_refresh.h"
#include "resources/resource.h"
#include "tests/shell/window_test_resources.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

constexpr wchar_t kProbeClass[] = L"QuorinFree.TestProbe";

// A custom window that writes down every message it sees.
class ProbeWindow : public client::CWindowBase {
 public:
  std::vector<UINT> seen;
  int refreshes = 0;
  int reflectedClicks = 0;
  bool gone = false;

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM, LPARAM) override {
    seen.push_back(message);
    if (message == client::kWmStatusRefresh) {
      ++refreshes;
      return 0;
    }
    return std::nullopt;
  }
  void OnWindowGone() override { gone = true; }
};

// A push button run by an object of its own: the click that the parent receives comes back here.
class ReflectingButton : public client::CWindowBase {
 public:
  int clicks = 0;
  bool answer = true;

 protected:
  std::optional<LRESULT> OnReflectedMessage(UINT message, WPARAM wParam, LPARAM) override {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      ++clicks;
      if (answer)
        return 0;
    }
    return std::nullopt;
  }
};

// A dialog that notes the messages it sees before WM_INITDIALOG.
class EarlyDialog : public client::CDialogBase {
 public:
  EarlyDialog() : CDialogBase(IDD_SETTINGS) {}
  std::vector<UINT> seenBeforeInit;
  bool initialised = false;
  bool autoStart = true;
  ReflectingButton chooseButton;
  int commandsSeen = 0;

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM, LPARAM) override {
    if (!initialised)
      seenBeforeInit.push_back(message);
    return std::nullopt;
  }
  bool OnInitDialog() override {
    initialised = true;
    return CDialogBase::OnInitDialog();
  }
  bool OnCommand(int id, int, HWND) override {
    if (id == IDC_CHOOSE_DIAL_ENTRY)
      ++commandsSeen;
    return false;
  }
  void DoDataExchange(client::DataExchange& exchange) override {
    exchange.Check(IDC_AUTO_START, autoStart);
    exchange.Control(IDC_CHOOSE_DIAL_ENTRY, chooseButton);
  }
};

class WindowFrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(UseInstalledResources(), nullptr);
    ASSERT_TRUE(client::RegisterWindowClass(kProbeClass, CS_HREDRAW | CS_VREDRAW,
                                            ::LoadCursorW(nullptr, IDC_ARROW), nullptr));
  }
  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      client::ProcessMessage(message);
  }
};

TEST_F(WindowFrameworkTest, ObjectsAreFoundFromTheFirstMessageOnAndLetGoAtTheEnd) {
  ProbeWindow probe;
  ASSERT_TRUE(
      probe.CreateEx(0, kProbeClass, L"probe", WS_OVERLAPPEDWINDOW, {0, 0, 200, 100}, nullptr, 0));
  ASSERT_FALSE(probe.seen.empty());
  // The very first messages of a top-level window come before WM_CREATE.
  EXPECT_TRUE(probe.seen.front() == WM_GETMINMAXINFO || probe.seen.front() == WM_NCCREATE)
      << probe.seen.front();
  EXPECT_EQ(client::CWindowBase::FromHandle(probe.hwnd()), &probe);
  // A second window of the same class gets its own object.
  ProbeWindow other;
  ASSERT_TRUE(
      other.CreateEx(0, kProbeClass, L"other", WS_OVERLAPPEDWINDOW, {0, 0, 200, 100}, nullptr, 0));
  EXPECT_EQ(client::CWindowBase::FromHandle(other.hwnd()), &other);
  const HWND window = probe.hwnd();
  probe.DestroyWindow();
  EXPECT_TRUE(probe.gone);
  EXPECT_EQ(probe.hwnd(), nullptr);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(probe.CreateEx(0, L"no such class", L"", 0, {0, 0, 1, 1}, nullptr, 0));
}

TEST_F(WindowFrameworkTest, DialogsFindTheirObjectBeforeInitialisationAndLeaveTheUserSlotFree) {
  EarlyDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  EXPECT_TRUE(dialog.initialised);
  // The template's font arrives before WM_INITDIALOG and already reaches the object.
  EXPECT_NE(std::find(dialog.seenBeforeInit.begin(), dialog.seenBeforeInit.end(), WM_SETFONT),
            dialog.seenBeforeInit.end());
  EXPECT_EQ(::GetWindowLongPtrW(dialog.hwnd(), DWLP_USER), 0);
  EXPECT_EQ(client::CWindowBase::FromHandle(dialog.hwnd()), &dialog);

  // The bool exchange and the control attached by the exchange.
  EXPECT_EQ(::IsDlgButtonChecked(dialog.hwnd(), IDC_AUTO_START), BST_CHECKED);
  ::CheckDlgButton(dialog.hwnd(), IDC_AUTO_START, BST_UNCHECKED);
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_FALSE(dialog.autoStart);
  const HWND button = ::GetDlgItem(dialog.hwnd(), IDC_CHOOSE_DIAL_ENTRY);
  ASSERT_EQ(dialog.chooseButton.hwnd(), button);

  // A click on the button is offered to its object first; answered there, the dialog does
  // not see it; left unanswered, it goes on to the dialog's command handler.
  ::SendMessageW(button, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(dialog.chooseButton.clicks, 1);
  EXPECT_EQ(dialog.commandsSeen, 0);
  dialog.chooseButton.answer = false;
  ::SendMessageW(button, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(dialog.chooseButton.clicks, 2);
  EXPECT_EQ(dialog.commandsSeen, 1);

  // Let go, the button is the system's again and keeps working.
  dialog.chooseButton.Unsubclass();
  EXPECT_EQ(client::CWindowBase::FromHandle(button), nullptr);
  ::SendMessageW(button, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(dialog.chooseButton.clicks, 2);
  EXPECT_EQ(dialog.commandsSeen, 2);
  dialog.DestroyWindow();
  EXPECT_EQ(dialog.hwnd(), nullptr);
}

// Filters that note the order they were asked in.
struct OrderFilter : client::MessageFilter {
  OrderFilter(std::vector<int>* orderOut, int filterName, bool handlesAll)
      : order(orderOut), name(filterName), handles(handlesAll) {}
  std::vector<int>* order;
  int name;
  bool handles;
  client::CMessageLoop* removeFromLoop = nullptr;
  bool PreTranslateMessage(MSG&) override {
    order->push_back(name);
    if (removeFromLoop != nullptr)
      removeFromLoop->RemoveMessageFilter(this);
    return handles;
  }
};

struct CountingIdle : client::IdleHandler {
  int runs = 0;
  int wanted = 0;
  bool OnIdle() override {
    ++runs;
    if (runs >= wanted)
      ::PostQuitMessage(5);
    return runs < wanted;
  }
};

TEST_F(WindowFrameworkTest, TheLoopAsksTheNewestFilterFirstAndRunsIdleWorkWhenTheQueueIsEmpty) {
  client::CMessageLoop loop;
  ASSERT_EQ(client::CMessageLoop::ForThisThread(), &loop);
  std::vector<int> order;
  OrderFilter first(&order, 1, false);
  OrderFilter second(&order, 2, false);
  OrderFilter third(&order, 3, true);
  loop.AddMessageFilter(&first);
  loop.AddMessageFilter(&second);
  loop.AddMessageFilter(&second);  // once only
  MSG message{};
  EXPECT_FALSE(loop.PreTranslateMessage(message));
  EXPECT_EQ(order, (std::vector<int>{2, 1}));

  // A filter that handles the message ends the round; one that removes itself is gone after.
  order.clear();
  loop.AddMessageFilter(&third);
  third.removeFromLoop = &loop;
  EXPECT_TRUE(loop.PreTranslateMessage(message));
  EXPECT_FALSE(loop.PreTranslateMessage(message));
  EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));

  // Idle work runs until it asks for no more; the quit it posts ends the loop with its code.
  CountingIdle idle;
  idle.wanted = 3;
  loop.AddIdleHandler(&idle);
  EXPECT_EQ(loop.Run(), 5);
  EXPECT_EQ(idle.runs, 3);
  {
    client::CMessageLoop nested;
    EXPECT_EQ(client::CMessageLoop::ForThisThread(), &nested);
  }
  EXPECT_EQ(client::CMessageLoop::ForThisThread(), &loop);
}

TEST_F(WindowFrameworkTest, ARefreshRequestSurvivesAMessageBoxOfTheThread) {
  ProbeWindow main;
  ASSERT_TRUE(
      main.CreateEx(0, kProbeClass, L"main", WS_OVERLAPPEDWINDOW, {0, 0, 200, 100}, nullptr, 0));
  client::RouteStatusRefreshTo(main.hwnd());
  const DWORD uiThread = ::GetCurrentThreadId();
  // A worker asks for a refresh while the message box's own loop runs, then answers the box.
  std::atomic<bool> posted{false};
  std::thread worker([&] {
    HWND box = nullptr;
    WaitUntil([&] {
      for (const HWND window : VisibleWindowsOfThread(uiThread)) {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (std::wstring_view(name) == L"#32770")
          box = window;
      }
      return box != nullptr;
    });
    // Posted messages of a thread arrive in order: the box's own loop takes the request
    // before the answer that ends it.
    client::PostStatusRefresh();
    posted = true;
    if (box != nullptr)
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ::MessageBoxW(main.hwnd(), L"refresh?", L"QuorinFree", MB_OK);
  worker.join();
  ASSERT_TRUE(posted);
  Pump();
  EXPECT_EQ(main.refreshes, 1);
  client::RouteStatusRefreshTo(nullptr);
  client::PostStatusRefresh();
  Pump();
  EXPECT_EQ(main.refreshes, 1);
}

TEST_F(WindowFrameworkTest, TheOffScreenPictureReachesItsTargetWhole) {
  const client::ClientDc screen(nullptr);
  const HDC target = ::CreateCompatibleDC(screen.get());
  client::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 40, 40));
  const client::SelectScope selected(target, bitmap.get());
  const RECT whole{0, 0, 40, 40};
  ::FillRect(target, &whole, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  {
    // Painted with the target's coordinates: only the area 10..30 is copied.
    const RECT area{10, 10, 30, 30};
    client::MemoryDc memory(target, area);
    ASSERT_NE(memory.get(), target);
    const RECT inner{15, 15, 25, 25};
    client::UniqueBrush red(::CreateSolidBrush(RGB(255, 0, 0)));
    ::FillRect(memory.get(), &area, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::FillRect(memory.get(), &inner, red.get());
    // Nothing reaches the target before the picture is complete.
    EXPECT_EQ(::GetPixel(target, 20, 20), RGB(255, 255, 255));
  }
  EXPECT_EQ(::GetPixel(target, 20, 20), RGB(255, 0, 0));
  EXPECT_EQ(::GetPixel(target, 11, 11), RGB(0, 0, 0));
  EXPECT_EQ(::GetPixel(target, 5, 5), RGB(255, 255, 255));
  ::DeleteDC(target);

  // Sizes follow the DPI; icons come at the size the system asks for.
  EXPECT_EQ(client::ScaleForDpi(390, 144), 585);
  EXPECT_EQ(client::ScaleForDpi(24, 96), 24);
  EXPECT_GT(client::WindowDpi(nullptr), 0u);
}

}  // namespace
}  // namespace quorin::shelltest
