// The custom controls in a window of their own: the domain grid with zone and host rows as the
// main window fills it (an address cell and two check cells per host), driven through mouse,
// wheel, scroll-bar and key messages, also inside a dialog whose manager moves the focus with
// Tab, and the progress window with its pump. Screenshots of
// both go to the build's artifacts, named after QUORIN_SHOT_TAG (the DPI and language run).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "client/controls/grid_cells.h"
#include "client/controls/hand_cursor.h"
#include "client/controls/progress_window.h"
#include "client/controls/tree_grid.h"
#include "client/framework/dpi.h"
#include "client/framework/message_loop.h"
#include "client/framework/resource_module.h"
#include "client/framework/window_base.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"
#include "tests/shell/window_test_resources.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using client::CAddressCell;
using client::CCheckCell;
using client::CTreeGrid;
using client::GridRow;

constexpr wchar_t kHostClass[] = L"QuorinFree.TestGridHost";
constexpr int kGridId = IDC_DOMAIN_GRID;

// The grid's owner: writes down the notifications and refuses the codes it is told to.
class GridHost : public client::CWindowBase {
 public:
  struct Heard {
    int code;
    GridRow* row;
  };
  std::vector<Heard> heard;
  std::vector<int> refuse;

  bool Heard(int code) const {
    for (const auto& entry : heard) {
      if (entry.code == code)
        return true;
    }
    return false;
  }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const auto& entry : heard)
      codes.push_back(entry.code);
    return codes;
  }

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM, LPARAM lParam) override {
    if (message != WM_NOTIFY)
      return std::nullopt;
    const auto* notify = reinterpret_cast<const client::GridNotify*>(lParam);
    if (notify->header.idFrom != kGridId)
      return std::nullopt;
    const int code = static_cast<int>(notify->header.code);
    heard.push_back({code, notify->row});
    for (const int refused : refuse) {
      if (refused == code)
        return 1;
    }
    return 0;
  }
};

struct HostRow {
  GridRow* row;
  CAddressCell* address;
  CCheckCell* option;
  CCheckCell* paused;
};

class GridControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(UseInstalledResources(), nullptr);
    ASSERT_TRUE(client::RegisterWindowClass(kHostClass, 0, ::LoadCursorW(nullptr, IDC_ARROW),
                                            ::GetSysColorBrush(COLOR_BTNFACE)));
    const UINT dpi = client::SystemDpi();
    const int width = client::ScaleForDpi(740, dpi);
    const int height = client::ScaleForDpi(300, dpi);
    ASSERT_TRUE(host_.CreateEx(WS_EX_TOPMOST, kHostClass, L"QuorinFree grid",
                               WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                               {40, 40, 40 + width, 40 + height}, nullptr, 0));
    RECT client = host_.ClientRect();
    ::InflateRect(&client, -2, -2);
    ASSERT_TRUE(grid_.Create(WS_VISIBLE | WS_BORDER, client, host_.hwnd(), 24, kGridId));
    zones_.push_back(AddZone("example.net", "VIP", "2027-01-31",
                             {{"www", "203.0.113.7"}, {"mail", "203.0.113.8"}}));
    zones_.push_back(AddZone("beispiel.de", "free account", "2026-12-31",
                             {{"home", "198.51.100.20"}, {"nas", "1.2.3"}, {"cam", "0.0.0.0"}}));
    host_.heard.clear();
    ::SetForegroundWindow(host_.hwnd());
    ::SetActiveWindow(host_.hwnd());
    Pump();
  }

  GridRow* AddZone(const std::string& zone, const std::string& kind, const std::string& expiry,
                   const std::vector<std::pair<std::string, std::string>>& hosts) {
    GridRow* row = grid_.InsertRow(zone + "    [ " + kind + "  --  " + expiry + " ]");
    for (const auto& [label, address] : hosts)
      hosts_.push_back(AddHost(grid_, row, label + "." + zone, address));
    return row;
  }

  // A host row as the main window makes it: the address, then check cells 0 and 1.
  static HostRow AddHost(CTreeGrid& grid, GridRow* zone, const std::string& name,
                         const std::string& address) {
    HostRow host{grid.InsertRow(name, zone), nullptr, nullptr, nullptr};
    host.address =
        static_cast<CAddressCell*>(grid.SetCell(host.row, std::make_unique<CAddressCell>()));
    host.address->SetAddress(address);
    for (const int index : {0, 1}) {
      auto check = std::make_unique<CCheckCell>(index);
      const std::string text =
          client::LoadResourceText(index == 0 ? IDS_HOST_OPTION : IDS_HOST_PAUSED);
      check->SetLabels(text, text);
      auto* cell = static_cast<CCheckCell*>(grid.SetCell(host.row, std::move(check)));
      (index == 0 ? host.option : host.paused) = cell;
    }
    return host;
  }

  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      client::ProcessMessage(message);
  }

  // The middle of a field of an address cell on the screen.
  static POINT FieldPoint(const CAddressCell* cell, int position) {
    RECT field{};
    ::GetWindowRect(cell->Field(position), &field);
    return POINT{(field.left + field.right) / 2, (field.top + field.bottom) / 2};
  }

  // The middle of a row's column on the screen.
  POINT ScreenPointOf(const GridRow* row, int column, int dx = 0) const {
    const RECT cell = grid_.CellRect(row, column);
    POINT point{(cell.left + cell.right) / 2 + dx, (cell.top + cell.bottom) / 2};
    ::ClientToScreen(grid_.Canvas(), &point);
    return point;
  }

  // A click as the system routes it: to the window under the point (cells that let the
  // mouse through are skipped by the hit test), in that window's coordinates.
  HWND Click(POINT screen, bool doubleClick = false) {
    const HWND target = ::WindowFromPoint(screen);
    POINT local = screen;
    ::ScreenToClient(target, &local);
    const LPARAM at = MAKELPARAM(local.x, local.y);
    ::SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(target, WM_LBUTTONUP, 0, at);
    if (doubleClick) {
      ::SendMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
      ::SendMessageW(target, WM_LBUTTONUP, 0, at);
    }
    Pump();
    return target;
  }

  // A key pressed in `target` (the canvas unless said otherwise).
  void Key(WPARAM key, bool shift = false, HWND target = nullptr) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::SendMessageW(target != nullptr ? target : grid_.Canvas(), WM_KEYDOWN, key, 0);
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    Pump();
  }

  GridRow* Zone(int index) const { return zones_[static_cast<std::size_t>(index)]; }

  GridHost host_;
  CTreeGrid grid_;
  std::vector<GridRow*> zones_;
  std::vector<HostRow> hosts_;
};

TEST_F(GridControlsTest, RowsAreWalkedInOrderAndAddressesReadBackAsFourFields) {
  // Walking as the main window's save does: zones, then their hosts.
  std::vector<std::string> texts;
  for (GridRow* zone = grid_.FirstChild(nullptr); zone != nullptr; zone = grid_.NextSibling(zone)) {
    texts.push_back(grid_.RowText(zone));
    for (GridRow* hostRow = grid_.FirstChild(zone); hostRow != nullptr;
         hostRow = grid_.NextSibling(hostRow))
      texts.push_back(grid_.RowText(hostRow));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "example.net    [ VIP  --  2027-01-31 ]", "www.example.net",
                       "mail.example.net", "beispiel.de    [ free account  --  2026-12-31 ]",
                       "home.beispiel.de", "nas.beispiel.de", "cam.beispiel.de"}));
  EXPECT_EQ(Zone(0)->itemNumber, 1);
  EXPECT_EQ(hosts_.back().row->itemNumber, 7);
  EXPECT_EQ(grid_.CellByIndex(hosts_[0].row, 1), hosts_[0].paused);
  EXPECT_EQ(grid_.CellByIndex(hosts_[0].row, 5), nullptr);
  EXPECT_EQ(grid_.CellByIndex(nullptr, 0), nullptr);

  EXPECT_EQ(hosts_[0].address->GetAddress(), "203.0.113.7");
  EXPECT_EQ(hosts_[3].address->GetAddress(), "1.2.3.0");  // missing parts are 0
  CAddressCell* address = hosts_[0].address;
  address->SetAddress("1.2.3.4.5");
  EXPECT_EQ(address->GetAddress(), "1.2.3.4");  // a fifth part is ignored
  address->SetAddress("300.-1.x.7");
  EXPECT_EQ(address->GetAddress(), "255.0.0.7");  // held to a field's range
  address->SetAddress("");
  EXPECT_EQ(address->GetAddress(), "0.0.0.0");

  // Each insert is announced; clearing removes the rows (and the cells' windows).
  const HWND cellWindow = hosts_[0].option->hwnd();
  const int insertsBefore = static_cast<int>(host_.heard.size());
  GridRow* extra = grid_.InsertRow("extra.org    [ VIP  --  2027-06-30 ]");
  ASSERT_EQ(static_cast<int>(host_.heard.size()), insertsBefore + 1);
  EXPECT_EQ(host_.heard.back().code, client::kGridRowInserted);
  EXPECT_EQ(host_.heard.back().row, extra);
  EXPECT_EQ(extra->itemNumber, 8);
  grid_.Clear();
  EXPECT_EQ(grid_.FirstChild(nullptr), nullptr);
  EXPECT_FALSE(::IsWindow(cellWindow));
  EXPECT_EQ(grid_.InsertRow("again")->itemNumber, 9);  // the count runs on
  hosts_.clear();
  zones_.clear();
}

TEST_F(GridControlsTest, ClicksToggleZonesAndCellsUnlessTheOwnerRefuses) {
  const HostRow& www = hosts_[0];
  // A click on a check cell passes through the cell to the canvas: click, selection, the
  // question, then the toggle.
  ASSERT_FALSE(www.option->GetCheck());
  EXPECT_EQ(Click(ScreenPointOf(www.row, 2)), grid_.Canvas());
  EXPECT_TRUE(www.option->GetCheck());
  EXPECT_EQ(grid_.Selection(), www.row);
  EXPECT_EQ(host_.Codes(), (std::vector<int>{client::kGridClick, client::kGridSelectionChanged,
                                             client::kGridBeforeCellActivate}));
  // Refused, the cell stays as it was.
  host_.refuse = {client::kGridBeforeCellActivate};
  Click(ScreenPointOf(www.row, 2));
  EXPECT_TRUE(www.option->GetCheck());
  Click(ScreenPointOf(www.row, 3));
  EXPECT_FALSE(www.paused->GetCheck());
  // A refused address cell does not take the keyboard either.
  const HWND field = www.address->Field(0);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(Click(FieldPoint(www.address, 0)), field);
  EXPECT_NE(::GetFocus(), field);
  host_.refuse.clear();
  // Allowed, a field of the address takes the keyboard; the grid's keys lead back.
  const HWND clicked = Click(FieldPoint(hosts_[1].address, 2));
  EXPECT_EQ(clicked, hosts_[1].address->Field(2));
  EXPECT_EQ(::GetFocus(), clicked);
  EXPECT_EQ(grid_.Selection(), hosts_[1].row);
  Key(VK_DOWN, false, clicked);
  EXPECT_EQ(::GetFocus(), grid_.Canvas());
  EXPECT_EQ(grid_.Selection(), Zone(1));

  // The expander collapses a zone and hides its hosts' cells; a refused toggle changes nothing.
  RECT cell = grid_.CellRect(Zone(0), 0);
  POINT expander{cell.left + client::ScaleForDpi(6, client::WindowDpi(grid_.hwnd())),
                 (cell.top + cell.bottom) / 2};
  ::ClientToScreen(grid_.Canvas(), &expander);
  host_.heard.clear();
  Click(expander);
  EXPECT_FALSE(Zone(0)->expanded);
  EXPECT_TRUE(host_.Heard(client::kGridBeforeToggle));
  EXPECT_FALSE(::IsWindowVisible(www.option->hwnd()));
  EXPECT_TRUE(::IsWindowVisible(hosts_[2].option->hwnd()));
  host_.refuse = {client::kGridBeforeToggle};
  Click(expander);
  EXPECT_FALSE(Zone(0)->expanded);
  host_.refuse.clear();
  // A double click on the caption of a zone toggles it (after the click that selects it).
  host_.heard.clear();
  Click(ScreenPointOf(Zone(0), 0, 60), true);
  EXPECT_TRUE(Zone(0)->expanded);
  EXPECT_TRUE(host_.Heard(client::kGridDoubleClick));
  EXPECT_TRUE(::IsWindowVisible(www.option->hwnd()));

  // Below the last row, the selection goes.
  RECT client{};
  ::GetClientRect(grid_.Canvas(), &client);
  POINT empty{client.right / 2, client.bottom - 3};
  ::ClientToScreen(grid_.Canvas(), &empty);
  host_.heard.clear();
  Click(empty);
  EXPECT_EQ(grid_.Selection(), nullptr);
  ASSERT_FALSE(host_.heard.empty());
  EXPECT_EQ(host_.heard.back().code, client::kGridSelectionChanged);
  EXPECT_EQ(host_.heard.back().row, nullptr);

  // A disabled grid takes nothing.
  ::EnableWindow(grid_.hwnd(), FALSE);
  Click(ScreenPointOf(www.row, 2));
  EXPECT_TRUE(www.option->GetCheck());
  EXPECT_EQ(grid_.Selection(), nullptr);
  ::EnableWindow(grid_.hwnd(), TRUE);
}

TEST_F(GridControlsTest, DividersDragUnlessRefusedAndShowTheirCursors) {
  const int before = grid_.ColumnWidth(0);
  // The second row is a host row: the dividers run through rows with cells only.
  const int hostRowY = grid_.RowHeight() * 3 / 2;
  const LPARAM at = MAKELPARAM(grid_.DividerX(0), hostRowY);
  host_.refuse = {client::kGridBeforeDividerDrag};
  ::SendMessageW(grid_.Canvas(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  EXPECT_NE(::GetCapture(), grid_.Canvas());
  host_.refuse.clear();
  ::SendMessageW(grid_.Canvas(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  EXPECT_EQ(::GetCapture(), grid_.Canvas());
  ::SendMessageW(grid_.Canvas(), WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM(grid_.DividerX(0) + 40, hostRowY));
  ::SendMessageW(grid_.Canvas(), WM_LBUTTONUP, 0, MAKELPARAM(grid_.DividerX(0) + 40, hostRowY));
  EXPECT_EQ(grid_.ColumnWidth(0), before + 40);
  EXPECT_EQ(::GetCapture(), nullptr);
  // The cells moved with their column.
  RECT cellWindow{};
  ::GetWindowRect(hosts_[0].address->hwnd(), &cellWindow);
  POINT cellLeft{cellWindow.left, cellWindow.top};
  ::ScreenToClient(grid_.Canvas(), &cellLeft);
  EXPECT_GE(cellLeft.x, grid_.DividerX(0));

  // The cursor over a divider is the resource library's, over an expander the hand.
  auto cursorAt = [&](POINT client) {
    ::ClientToScreen(grid_.Canvas(), &client);
    // Under X the pointer moves when the server has done it, and a late motion event of an
    // earlier move can still put the reported position back: move it until the position
    // holds after the pending events were handled, since the grid reads it to choose.
    EXPECT_TRUE(WaitUntil([&] {
      ::SetCursorPos(client.x, client.y);
      Pump();
      POINT now{};
      return ::GetCursorPos(&now) && now.x == client.x && now.y == client.y;
    }));
    ::SendMessageW(grid_.Canvas(), WM_SETCURSOR, reinterpret_cast<WPARAM>(grid_.Canvas()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ::GetCursor();
  };
  POINT divider{grid_.DividerX(0), hostRowY};
  POINT cursorNow{};
  ::GetCursorPos(&cursorNow);
  EXPECT_EQ(cursorAt(divider),
            ::LoadCursorW(client::ResourceModule(), MAKEINTRESOURCEW(IDC_DIVIDER_CURSOR)));
  // A zone row is a heading across the whole width: nothing to drag there.
  EXPECT_NE(cursorAt(POINT{grid_.DividerX(0), grid_.RowHeight() / 2}),
            ::LoadCursorW(client::ResourceModule(), MAKEINTRESOURCEW(IDC_DIVIDER_CURSOR)));
  const RECT zoneCell = grid_.CellRect(Zone(0), 0);
  POINT expander{zoneCell.left + client::ScaleForDpi(6, client::WindowDpi(grid_.hwnd())),
                 (zoneCell.top + zoneCell.bottom) / 2};
  const client::HandCursor hand;
  EXPECT_NE(cursorAt(expander), ::LoadCursorW(nullptr, IDC_ARROW));
  if (!hand.FromHelpProgram()) {
    EXPECT_EQ(cursorAt(expander), ::LoadCursorW(nullptr, IDC_HAND));
  }
  std::printf("hand cursor from winhlp32.exe: %s\n", hand.FromHelpProgram() ? "yes" : "no");
  ::SetCursorPos(cursorNow.x, cursorNow.y);
}

TEST_F(GridControlsTest, TheWheelTheScrollBarAndEveryKeyMoveAmongVisibleRows) {
  // Enough hosts to scroll.
  GridRow* big = AddZone("many.example", "VIP", "2027-03-01", {});
  for (int index = 0; index < 20; ++index)
    hosts_.push_back({grid_.InsertRow("h" + std::to_string(index) + ".many.example", big), nullptr,
                      nullptr, nullptr});
  ASSERT_EQ(grid_.FirstVisibleRow(), 0);
  ::SendMessageW(grid_.Canvas(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(grid_.FirstVisibleRow(), 3);
  ::SendMessageW(grid_.Canvas(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(grid_.FirstVisibleRow(), 4);
  ::SendMessageW(grid_.Canvas(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(grid_.FirstVisibleRow(), 0);
  ::SendMessageW(grid_.Canvas(), WM_VSCROLL, SB_BOTTOM, 0);
  const int bottom = grid_.FirstVisibleRow();
  EXPECT_GT(bottom, 0);
  ::SendMessageW(grid_.Canvas(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(grid_.FirstVisibleRow(), bottom);  // not past the last row
  // Cells of rows out of view are hidden.
  EXPECT_FALSE(::IsWindowVisible(hosts_[0].option->hwnd()));

  ::SetFocus(grid_.Canvas());
  // 30 visible rows: 3 zones, 2 + 3 + 20 hosts.
  Key(VK_HOME);
  EXPECT_EQ(grid_.Selection(), Zone(0));
  EXPECT_EQ(grid_.FirstVisibleRow(), 0);  // scrolled back to the selection
  Key(VK_DOWN);
  EXPECT_EQ(grid_.Selection(), hosts_[0].row);
  Key(VK_DOWN);
  EXPECT_EQ(grid_.Selection(), hosts_[1].row);
  Key(VK_RETURN);
  EXPECT_EQ(grid_.Selection(), Zone(1));
  Key(VK_UP);
  EXPECT_EQ(grid_.Selection(), hosts_[1].row);
  Key(VK_UP);
  EXPECT_EQ(grid_.Selection(), hosts_[0].row);
  Key(VK_LEFT);  // from a host to its zone
  EXPECT_EQ(grid_.Selection(), Zone(0));
  Key(VK_LEFT);  // an expanded zone collapses
  EXPECT_FALSE(Zone(0)->expanded);
  Key(VK_DOWN);  // its hosts are skipped
  EXPECT_EQ(grid_.Selection(), Zone(1));
  Key(VK_UP);
  Key(VK_RIGHT);  // a collapsed zone expands
  EXPECT_TRUE(Zone(0)->expanded);
  Key(VK_RIGHT);  // then moves on
  EXPECT_EQ(grid_.Selection(), hosts_[0].row);
  Key(VK_END);
  EXPECT_EQ(grid_.RowText(grid_.Selection()), "h19.many.example");
  EXPECT_EQ(WindowText(grid_.Canvas()), L"h19.many.example") << "named for screen readers";
  EXPECT_GT(grid_.FirstVisibleRow(), 0);
  Key(VK_PRIOR);
  const GridRow* afterPageUp = grid_.Selection();
  EXPECT_NE(afterPageUp, nullptr);
  EXPECT_NE(grid_.RowText(afterPageUp), "h19.many.example");
  Key(VK_NEXT);
  EXPECT_EQ(grid_.RowText(grid_.Selection()), "h19.many.example");

  // A selection under a zone that collapses goes to the zone.
  Key(VK_HOME);
  Key(VK_DOWN);
  grid_.Toggle(Zone(0));
  EXPECT_EQ(grid_.Selection(), Zone(0));

  // Disabled, no key moves it.
  ::EnableWindow(grid_.hwnd(), FALSE);
  ::SendMessageW(grid_.Canvas(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(grid_.Selection(), Zone(0));
  ::EnableWindow(grid_.hwnd(), TRUE);
}

// A dialog with a button before the grid and one after it in the tab order, as the main window
// has controls around its grid. Keys go through the message loop, so the dialog manager
// (IsDialogMessage) sees them first, as in the client.
class GridInDialogTest : public GridControlsTest {
 protected:
  static constexpr int kBeforeId = 201;
  static constexpr int kAfterId = 202;

  void SetUp() override {
    GridControlsTest::SetUp();
    heard_.clear();
    refuse_ = 0;
    const std::vector<WORD> layout = TwoButtonTemplate();
    dialog_ = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                           reinterpret_cast<const DLGTEMPLATE*>(layout.data()),
                                           nullptr, &GridInDialogTest::Procedure, 0);
    ASSERT_NE(dialog_, nullptr);
    RECT before{}, after{};
    ::GetWindowRect(::GetDlgItem(dialog_, kBeforeId), &before);
    ::GetWindowRect(::GetDlgItem(dialog_, kAfterId), &after);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&before), 2);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&after), 2);
    RECT client{};
    ::GetClientRect(dialog_, &client);
    ASSERT_TRUE(inner_.Create(WS_VISIBLE | WS_BORDER,
                              {before.left, before.bottom + 4, client.right - 4, after.top - 4},
                              dialog_, 24, kGridId));
    // After the first button in the tab order.
    ::SetWindowPos(inner_.hwnd(), ::GetDlgItem(dialog_, kBeforeId), 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    zone_ = inner_.InsertRow("example.net    [ VIP  --  2027-01-31 ]");
    www_ = AddHost(inner_, zone_, "www.example.net", "203.0.113.7");
    ::SetForegroundWindow(dialog_);
    Pump();
  }

  void TearDown() override {
    if (dialog_ != nullptr) {
      inner_.Clear();
      ::DestroyWindow(dialog_);
    }
  }

  // A key pressed where the focus is, as the system delivers it.
  static void Press(WPARAM key, bool shift = false) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
    Pump();
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
  }

  // What a screen reader reads for the row: its caption, address and check boxes' states.
  static std::wstring Spoken(const std::string& row, const std::string& address, bool option,
                             bool paused) {
    const auto state = [](bool on) {
      return Wide(client::LoadResourceText(on ? IDS_BUTTON_YES : IDS_BUTTON_NO));
    };
    return Wide(row) + L", " + Wide(address) + L", " +
           Wide(client::LoadResourceText(IDS_HOST_OPTION)) + L": " + state(option) + L", " +
           Wide(client::LoadResourceText(IDS_HOST_PAUSED)) + L": " + state(paused);
  }

  // DLGTEMPLATE: a captioned pop-up with the two buttons, top and bottom.
  static std::vector<WORD> TwoButtonTemplate() {
    std::vector<WORD> words;
    const auto dword = [&](DWORD value) {
      words.push_back(LOWORD(value));
      words.push_back(HIWORD(value));
    };
    const auto text = [&](const wchar_t* value) {
      for (; *value != L'\0'; ++value)
        words.push_back(*value);
      words.push_back(0);
    };
    dword(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME);
    dword(0);
    for (const WORD value : {WORD{2}, WORD{20}, WORD{20}, WORD{300}, WORD{160}, WORD{0}, WORD{0}})
      words.push_back(value);
    text(L"QuorinFree grid in a dialog");
    for (const auto& [id, y, caption] :
         {std::tuple{kBeforeId, 5, L"Before"}, std::tuple{kAfterId, 140, L"After"}}) {
      if (words.size() % 2 != 0)
        words.push_back(0);
      dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
      dword(0);
      for (const int value : {5, y, 60, 14, id})
        words.push_back(static_cast<WORD>(value));
      words.push_back(0xFFFF);
      words.push_back(0x0080);  // the button class
      text(caption);
      words.push_back(0);
    }
    return words;
  }

  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG)
      return TRUE;
    if (message != WM_NOTIFY)
      return FALSE;
    const auto* notify = reinterpret_cast<const client::GridNotify*>(lParam);
    const int code = static_cast<int>(notify->header.code);
    if (code == client::kGridRowInserted)
      return FALSE;
    heard_.push_back(code);
    // A dialog answers a notification through its message result.
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, code == refuse_ ? 1 : 0);
    return TRUE;
  }

  static inline std::vector<int> heard_;
  static inline int refuse_ = 0;
  HWND dialog_ = nullptr;
  CTreeGrid inner_;
  GridRow* zone_ = nullptr;
  HostRow www_{};
};

TEST_F(GridInDialogTest, SpaceTogglesTheChecksAndTabLeavesTheGridBothWays) {
  const HWND before = ::GetDlgItem(dialog_, kBeforeId);
  const HWND after = ::GetDlgItem(dialog_, kAfterId);
  ::SetFocus(before);
  Press(VK_TAB);
  ASSERT_EQ(::GetFocus(), inner_.Canvas()) << "Tab reaches the grid";
  // Enter and the arrows stay in the grid: the canvas asks the dialog for them.
  inner_.Select(zone_);
  Press(VK_RETURN);
  EXPECT_EQ(inner_.Selection(), www_.row);
  Press(VK_UP);
  Press(VK_DOWN);
  EXPECT_EQ(inner_.Selection(), www_.row);
  EXPECT_EQ(::GetFocus(), inner_.Canvas());
  EXPECT_EQ(WindowText(inner_.Canvas()), Spoken("www.example.net", "203.0.113.7", false, false));

  // Space toggles check cell 0 and Shift+Space cell 1, telling the owner what a click does.
  heard_.clear();
  Press(VK_SPACE);
  EXPECT_TRUE(www_.option->GetCheck());
  EXPECT_FALSE(www_.paused->GetCheck());
  EXPECT_EQ(heard_, (std::vector<int>{client::kGridClick, client::kGridBeforeCellActivate}));
  EXPECT_EQ(WindowText(inner_.Canvas()), Spoken("www.example.net", "203.0.113.7", true, false));
  Press(VK_SPACE, true);
  EXPECT_TRUE(www_.option->GetCheck());
  EXPECT_TRUE(www_.paused->GetCheck());
  EXPECT_EQ(WindowText(inner_.Canvas()), Spoken("www.example.net", "203.0.113.7", true, true));
  refuse_ = client::kGridBeforeCellActivate;
  Press(VK_SPACE);
  EXPECT_TRUE(www_.option->GetCheck()) << "refused as a click would be";
  refuse_ = 0;
  // The owner setting a box (as "all records" does) renames the selected row too.
  www_.paused->SetCheck(false);
  EXPECT_EQ(WindowText(inner_.Canvas()), Spoken("www.example.net", "203.0.113.7", true, false));
  // A zone has no boxes: Space does nothing there.
  inner_.Select(zone_);
  heard_.clear();
  Press(VK_SPACE);
  EXPECT_TRUE(heard_.empty());
  EXPECT_EQ(::GetFocus(), inner_.Canvas());

  // Tab and Shift+Tab leave the grid, to the next and the previous control.
  Press(VK_TAB);
  EXPECT_EQ(::GetFocus(), after);
  Press(VK_TAB, true);
  EXPECT_EQ(::GetFocus(), inner_.Canvas());
  Press(VK_TAB, true);
  EXPECT_EQ(::GetFocus(), before);

  // From a field of the address as well; an address typed there is read out with the row.
  inner_.Select(www_.row);
  www_.address->Activate();
  ASSERT_EQ(::GetFocus(), www_.address->Field(0));
  www_.address->SetAddress("198.51.100.9");
  Press(VK_TAB);
  EXPECT_EQ(::GetFocus(), after);
  www_.address->Activate();
  Press(VK_TAB, true);
  EXPECT_EQ(::GetFocus(), before);
  ::SetFocus(inner_.Canvas());
  EXPECT_EQ(WindowText(inner_.Canvas()), Spoken("www.example.net", "198.51.100.9", true, false));
}

TEST_F(GridControlsTest, Screenshots) {
  const std::wstring tag = Environment(L"QUORIN_SHOT_TAG").empty()
                               ? std::wstring(L"96_en")
                               : Environment(L"QUORIN_SHOT_TAG");
  hosts_[0].option->SetCheck(true);
  hosts_[2].paused->SetCheck(true);
  ::SetFocus(grid_.Canvas());
  grid_.Select(hosts_[1].row);
  grid_.Redraw();
  Pump();
  EXPECT_TRUE(TakeScreenshot(L"grid_expanded_" + tag));
  grid_.Toggle(Zone(1));
  grid_.Redraw();
  Pump();
  EXPECT_TRUE(TakeScreenshot(L"grid_collapsed_" + tag));

  client::CProgressWindow progress;
  ASSERT_TRUE(progress.Create(host_.hwnd(), client::LoadResourceText(IDS_UPDATE_TITLE), true));
  progress.SetText(client::LoadResourceText(IDS_UPDATE_DOWNLOADING));
  progress.SetPos(42);
  Pump();
  EXPECT_TRUE(TakeScreenshot(L"progress_" + tag));
  EXPECT_EQ(LayoutFaults(progress.hwnd()), std::vector<std::string>{});
}

class ProgressWindowTest : public GridControlsTest {};

TEST_F(ProgressWindowTest, ShowsThePercentageAndCancelsByEscapeOrTheButtonKeepingAQuit) {
  {
    client::CProgressWindow progress;
    ASSERT_TRUE(progress.Create(host_.hwnd(), "Downloading"));
    RECT outer{};
    ::GetWindowRect(progress.hwnd(), &outer);
    const UINT dpi = client::WindowDpi(host_.hwnd());
    EXPECT_EQ(outer.right - outer.left, client::ScaleForDpi(390, dpi));
    EXPECT_EQ(outer.bottom - outer.top, client::ScaleForDpi(130, dpi));
    EXPECT_NE(::GetWindowLongPtrW(progress.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(::IsWindowEnabled(host_.hwnd()));
    EXPECT_EQ(WindowText(progress.CancelButton()),
              platform::WideFromUtf8(client::LoadResourceText(IDS_BUTTON_CANCEL)));

    progress.SetRange(0, 200);
    progress.SetPos(100);
    EXPECT_EQ(WindowText(progress.hwnd()), L"Downloading [50%]");
    progress.SetPos(101);  // still 50: the caption stays
    EXPECT_EQ(WindowText(progress.hwnd()), L"Downloading [50%]");
    progress.SetPos(500);
    EXPECT_EQ(WindowText(progress.hwnd()), L"Downloading [100%]");
    progress.SetRange(5, 5);
    progress.SetPos(5);
    EXPECT_EQ(WindowText(progress.hwnd()), L"Downloading [0%]");

    // A quit message is handed on and ends the pumping.
    ::PostQuitMessage(3);
    EXPECT_FALSE(progress.Pump());
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 3u);
    EXPECT_FALSE(progress.Cancelled());

    // Escape cancels; the window hides.
    ::PostMessageW(progress.hwnd(), WM_CHAR, VK_ESCAPE, 0);
    EXPECT_FALSE(progress.Pump());
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_FALSE(::IsWindowVisible(progress.hwnd()));
  }
  EXPECT_TRUE(::IsWindowEnabled(host_.hwnd()));

  {
    client::CProgressWindow progress;
    ASSERT_TRUE(progress.Create(host_.hwnd()));
    EXPECT_EQ(WindowText(progress.hwnd()), L"Progress");
    // Escape is ignored when not allowed; a click on cancel is not.
    ::PostMessageW(progress.hwnd(), WM_CHAR, VK_ESCAPE, 0);
    EXPECT_TRUE(progress.Pump(false));
    ::PostMessageW(progress.CancelButton(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(progress.CancelButton(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(progress.Pump());
    EXPECT_TRUE(progress.Cancelled());
    progress.Close();
    EXPECT_EQ(progress.hwnd(), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(host_.hwnd()));
  }
}

TEST_F(ProgressWindowTest, CancelsOnlyOnAReleaseInsideTheButtonAfterAPressThere) {
  client::CProgressWindow progress;
  ASSERT_TRUE(progress.Create(host_.hwnd()));
  const HWND button = progress.CancelButton();
  RECT inside{};
  ::GetClientRect(button, &inside);
  const LPARAM middle = MAKELPARAM(inside.right / 2, inside.bottom / 2);
  // Below the button, in the button's coordinates: where a mouse held since a press on the
  // button is reported while the button has the capture.
  const LPARAM below = MAKELPARAM(inside.right / 2, inside.bottom + 20);

  // Pressed on the button, dragged off it and released there: the button has taken the mouse,
  // so the system hands it the release, and nothing is cancelled.
  ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  EXPECT_TRUE(progress.Pump());
  EXPECT_EQ(::GetCapture(), button);
  ::PostMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, below);
  ::PostMessageW(button, WM_LBUTTONUP, 0, below);
  EXPECT_TRUE(progress.Pump());
  EXPECT_FALSE(progress.Cancelled());
  EXPECT_NE(::GetCapture(), button);
  EXPECT_TRUE(::IsWindowVisible(progress.hwnd()));

  // Pressed elsewhere and released over the button: not a click of the button either.
  ::PostMessageW(button, WM_MOUSEMOVE, 0, middle);
  ::PostMessageW(button, WM_LBUTTONUP, 0, middle);
  EXPECT_TRUE(progress.Pump());
  EXPECT_FALSE(progress.Cancelled());

  // Pressed, dragged off, back on and released inside: a click.
  ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  ::PostMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, below);
  ::PostMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, middle);
  ::PostMessageW(button, WM_LBUTTONUP, 0, middle);
  EXPECT_FALSE(progress.Pump());
  EXPECT_TRUE(progress.Cancelled());
  EXPECT_FALSE(::IsWindowVisible(progress.hwnd()));
  EXPECT_TRUE(::IsWindowEnabled(host_.hwnd()));
}

}  // namespace
}  // namespace quorin::shelltest
