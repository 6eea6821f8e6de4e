#include "client/controls/tree_grid.h"

#include <algorithm>
#include <iterator>

#include "client/controls/grid_cells.h"
#include "client/framework/dpi.h"
#include "client/framework/resource_module.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

constexpr wchar_t kGridClass[] = L"QuorinFree.TreeGrid";
constexpr wchar_t kCanvasClass[] = L"QuorinFree.TreeGridCanvas";

// Column widths at 96 DPI: the caption, then the cells of a host row (the address, wide enough
// for "255.255.255.255" in the fonts of every language, and the two check boxes).
constexpr int kColumnWidths[] = {260, 150, 120, 120};

// The resource library's "Yes" and "No": how a check cell's state is read out.
constexpr unsigned kCheckedWord = 57684;
constexpr unsigned kUncheckedWord = 57685;

bool IsDialogWindow(HWND window) {
  wchar_t className[16] = {};
  ::GetClassNameW(window, className, 16);
  return std::wstring_view(className) == L"#32770";
}

void CollectVisible(const std::vector<std::unique_ptr<GridRow>>& rows,
                    std::vector<GridRow*>& visible) {
  for (const auto& row : rows) {
    visible.push_back(row.get());
    if (row->expanded)
      CollectVisible(row->children, visible);
  }
}

const std::vector<std::unique_ptr<GridRow>>& Siblings(
    const std::vector<std::unique_ptr<GridRow>>& roots, const GridRow* row) {
  return row->parent != nullptr ? row->parent->children : roots;
}

}  // namespace

CTreeGrid::CTreeGrid() : canvas_(*this) {
  baseColumns_.assign(std::begin(kColumnWidths), std::end(kColumnWidths));
  columns_ = baseColumns_;
}

// Cells are windows of the canvas: they go before the canvas and the frame.
CTreeGrid::~CTreeGrid() {
  rows_.clear();
}

bool CTreeGrid::Create(DWORD style, const RECT& rect, HWND owner, int rowHeight, int controlId) {
  if (hwnd() != nullptr || owner == nullptr)
    return false;
  if (!RegisterWindowClass(kGridClass, CS_HREDRAW | CS_VREDRAW, ::LoadCursorW(nullptr, IDC_ARROW),
                           nullptr) ||
      !RegisterWindowClass(kCanvasClass, CS_DBLCLKS, nullptr, nullptr)) {
    return false;
  }
  owner_ = owner;
  checkedWord_ = LoadResourceText(kCheckedWord);
  uncheckedWord_ = LoadResourceText(kUncheckedWord);
  if (checkedWord_.empty() || uncheckedWord_.empty()) {
    checkedWord_ = "Yes";
    uncheckedWord_ = "No";
  }
  baseRowHeight_ = rowHeight > 0 ? rowHeight : 24;
  dpi_ = WindowDpi(owner);
  ChooseFontAndSizes();
  // A tab stop of its dialog: Tab reaches the grid (the frame hands the focus to the canvas)
  // and leaves it again.
  if (!CreateEx(0, kGridClass, L"",
                style | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, rect, owner,
                static_cast<UINT_PTR>(controlId))) {
    return false;
  }
  const RECT client = ClientRect();
  if (!canvas_.CreateEx(0, kCanvasClass, L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN | WS_TABSTOP, client,
                        hwnd(), kCanvasId)) {
    DestroyWindow();
    return false;
  }
  Layout();
  return true;
}

void CTreeGrid::ChooseFontAndSizes() {
  font_ = ChooseGridFont(dpi_);
  rowHeight_ = ScaleForDpi(baseRowHeight_, dpi_);
  for (std::size_t column = 0; column < columns_.size(); ++column)
    columns_[column] = ScaleForDpi(baseColumns_[column], dpi_);
}

void CTreeGrid::UpdateForDpi() {
  const UINT dpi = WindowDpi(owner_);
  if (dpi == dpi_)
    return;
  // The widths the user dragged keep their share of the new size.
  for (std::size_t column = 0; column < columns_.size(); ++column)
    baseColumns_[column] =
        ::MulDiv(columns_[column], static_cast<int>(kBaseDpi), static_cast<int>(dpi_));
  dpi_ = dpi;
  ChooseFontAndSizes();
  std::vector<GridRow*> all;
  std::vector<GridRow*> stack;
  for (const auto& row : rows_)
    stack.push_back(row.get());
  while (!stack.empty()) {
    GridRow* row = stack.back();
    stack.pop_back();
    for (const auto& cell : row->cells)
      cell->SetFont(font_.get());
    for (const auto& child : row->children)
      stack.push_back(child.get());
  }
  Layout();
  Redraw();
}

void CTreeGrid::Clear() {
  const bool hadSelection = selection_ != nullptr;
  selection_ = nullptr;
  rows_.clear();
  scrollTop_ = 0;
  if (hadSelection) {
    NameCanvasAfterSelection();
    Notify(kGridSelectionChanged, nullptr, -1);
  }
  Layout();
  Redraw();
}

GridRow* CTreeGrid::InsertRow(std::string_view text, GridRow* parent) {
  auto row = std::make_unique<GridRow>();
  row->text = std::string(text);
  row->itemNumber = nextItemNumber_++;
  row->parent = parent;
  GridRow* inserted = row.get();
  (parent != nullptr ? parent->children : rows_).push_back(std::move(row));
  Notify(kGridRowInserted, inserted, -1);
  Layout();
  Redraw();
  return inserted;
}

CGridCell* CTreeGrid::SetCell(GridRow* row, std::unique_ptr<CGridCell> cell) {
  if (row == nullptr || cell == nullptr || canvas_.hwnd() == nullptr)
    return nullptr;
  if (!cell->CreateIn(*this, *row))
    return nullptr;
  CGridCell* attached = cell.get();
  row->cells.push_back(std::move(cell));
  Layout();
  Redraw();
  return attached;
}

GridRow* CTreeGrid::FirstChild(const GridRow* row) const {
  const auto& children = row != nullptr ? row->children : rows_;
  return children.empty() ? nullptr : children.front().get();
}

GridRow* CTreeGrid::NextSibling(const GridRow* row) const {
  if (row == nullptr)
    return nullptr;
  const auto& siblings = Siblings(rows_, row);
  for (std::size_t index = 0; index + 1 < siblings.size(); ++index) {
    if (siblings[index].get() == row)
      return siblings[index + 1].get();
  }
  return nullptr;
}

std::string CTreeGrid::RowText(const GridRow* row) const {
  return row != nullptr ? row->text : std::string();
}

CCheckCell* CTreeGrid::CellByIndex(const GridRow* row, int index) const {
  if (row == nullptr)
    return nullptr;
  for (const auto& cell : row->cells) {
    if (auto* check = dynamic_cast<CCheckCell*>(cell.get());
        check != nullptr && check->index() == index)
      return check;
  }
  return nullptr;
}

void CTreeGrid::Redraw() {
  if (canvas_.hwnd() != nullptr)
    ::RedrawWindow(canvas_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CTreeGrid::Select(GridRow* row) {
  if (row == selection_)
    return;
  GridRow* former = selection_;
  selection_ = row;
  InvalidateRow(former);
  InvalidateRow(row);
  EnsureVisible(row);
  NameCanvasAfterSelection();
  Notify(kGridSelectionChanged, row, -1);
}

// The canvas takes the focus, and a screen reader announces a focused window by its name (its
// text): the canvas is named after the selected row with its address and the states of its
// check boxes, so the row under the keyboard is read out, and again when Space toggles a box
// (other programs, such as the window tests, read it through WM_GETTEXT).
void CTreeGrid::NameCanvasAfterSelection() {
  if (canvas_.hwnd() == nullptr)
    return;
  std::wstring name = platform::WideFromUtf8(RowText(selection_));
  if (selection_ != nullptr) {
    for (const auto& cell : selection_->cells) {
      if (const auto* address = dynamic_cast<const CAddressCell*>(cell.get())) {
        name += L", " + platform::WideFromUtf8(address->GetAddress());
      } else if (const auto* check = dynamic_cast<const CCheckCell*>(cell.get())) {
        name += L", " + check->Label() + L": " +
                platform::WideFromUtf8(check->GetCheck() ? checkedWord_ : uncheckedWord_);
      }
    }
  }
  wchar_t current[512] = {};
  ::GetWindowTextW(canvas_.hwnd(), current, 512);
  if (name == current)
    return;
  ::SetWindowTextW(canvas_.hwnd(), name.c_str());
  // Readers that follow the focused object hear the new name at once.
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, canvas_.hwnd(), OBJID_CLIENT, CHILDID_SELF);
}

void CTreeGrid::FocusNextControl(bool backwards) {
  if (owner_ == nullptr || hwnd() == nullptr)
    return;
  const HWND next = ::GetNextDlgTabItem(owner_, hwnd(), backwards ? TRUE : FALSE);
  if (next == nullptr || next == hwnd())
    return;
  // In a dialog WM_NEXTDLGCTL also moves the default button along with the focus.
  if (IsDialogWindow(owner_))
    ::SendMessageW(owner_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
  else
    ::SetFocus(next);
}

void CTreeGrid::ToggleCheckByKey(int index) {
  GridRow* row = selection_;
  CCheckCell* check = CellByIndex(row, index);
  if (check == nullptr)
    return;
  int column = -1;
  for (std::size_t position = 0; position < row->cells.size(); ++position) {
    if (row->cells[position].get() == check)
      column = static_cast<int>(position) + 1;
  }
  // The owner hears what a click on the cell tells it, and may refuse the same way.
  Notify(kGridClick, row, -1);
  if (Notify(kGridBeforeCellActivate, row, column) != 0)
    return;
  check->Activate();
}

bool CTreeGrid::Toggle(GridRow* row) {
  if (row == nullptr || row->children.empty())
    return false;
  if (Notify(kGridBeforeToggle, row, -1) != 0)
    return false;
  row->expanded = !row->expanded;
  // A selected row that disappears under its collapsed parent gives the selection up to it.
  for (GridRow* up = selection_ != nullptr ? selection_->parent : nullptr; up != nullptr;
       up = up->parent) {
    if (up == row && !row->expanded) {
      Select(row);
      break;
    }
  }
  Layout();
  Redraw();
  return true;
}

int CTreeGrid::ColumnWidth(int column) const {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<std::size_t>(column)] : 0;
}

int CTreeGrid::DividerX(int column) const {
  int x = 0;
  for (int index = 0; index <= column && index < ColumnCount(); ++index)
    x += columns_[static_cast<std::size_t>(index)];
  return x;
}

bool CTreeGrid::HasFocus() const {
  const HWND focus = ::GetFocus();
  return focus != nullptr && (focus == canvas_.hwnd() || ::IsChild(canvas_.hwnd(), focus));
}

bool CTreeGrid::InputEnabled() const {
  return hwnd() != nullptr && ::IsWindowEnabled(hwnd());
}

LRESULT CTreeGrid::Notify(int code, GridRow* row, int column) {
  if (owner_ == nullptr || hwnd() == nullptr)
    return 0;
  GridNotify notify{};
  notify.header.hwndFrom = hwnd();
  notify.header.idFrom = static_cast<UINT_PTR>(ControlId());
  notify.header.code = static_cast<UINT>(code);
  notify.row = row;
  notify.column = column;
  return ::SendMessageW(owner_, WM_NOTIFY, notify.header.idFrom, reinterpret_cast<LPARAM>(&notify));
}

std::vector<GridRow*> CTreeGrid::VisibleRows() const {
  std::vector<GridRow*> visible;
  CollectVisible(rows_, visible);
  return visible;
}

int CTreeGrid::VisibleIndex(const GridRow* row) const {
  const std::vector<GridRow*> visible = VisibleRows();
  const auto found = std::find(visible.begin(), visible.end(), row);
  return found != visible.end() ? static_cast<int>(found - visible.begin()) : -1;
}

int CTreeGrid::RowsPerPage() const {
  const RECT client = canvas_.ClientRect();
  return std::max(1, static_cast<int>(client.bottom - client.top) / std::max(1, rowHeight_));
}

int CTreeGrid::Level(const GridRow* row) const {
  int level = 0;
  for (const GridRow* up = row->parent; up != nullptr; up = up->parent)
    ++level;
  return level;
}

RECT CTreeGrid::ExpanderRect(const GridRow* row, int top) const {
  const int box = ScaleForDpi(9, dpi_);
  const int left = ScaleForDpi(4, dpi_) + Level(row) * ScaleForDpi(16, dpi_);
  const int boxTop = top + (rowHeight_ - box) / 2;
  return RECT{left, boxTop, left + box, boxTop + box};
}

RECT CTreeGrid::CellRect(const GridRow* row, int column) const {
  const int index = VisibleIndex(row);
  if (index < 0 || index < scrollTop_ || index >= scrollTop_ + RowsPerPage() + 1 || column < 0 ||
      column >= ColumnCount())
    return RECT{};
  const int top = (index - scrollTop_) * rowHeight_;
  const int margin = ScaleForDpi(2, dpi_);
  const int left = column == 0 ? 0 : DividerX(column - 1);
  return RECT{left + margin, top + margin, DividerX(column) - margin, top + rowHeight_ - margin};
}

CTreeGrid::Hit CTreeGrid::HitTest(POINT point) const {
  Hit hit;
  const int slack = ScaleForDpi(3, dpi_);
  const std::vector<GridRow*> visible = VisibleRows();
  const int index = scrollTop_ + (point.y >= 0 ? point.y / std::max(1, rowHeight_) : -1);
  const bool onRow = point.y >= 0 && index >= 0 && index < static_cast<int>(visible.size());
  // Dividers run through the rows with cells only; a heading row has none to grab.
  if (onRow && !visible[static_cast<std::size_t>(index)]->cells.empty()) {
    for (int column = 0; column < ColumnCount(); ++column) {
      if (std::abs(point.x - DividerX(column)) <= slack) {
        hit.area = Area::kDivider;
        hit.column = column;
        hit.row = visible[static_cast<std::size_t>(index)];
        return hit;
      }
    }
  }
  if (!onRow)
    return hit;
  GridRow* row = visible[static_cast<std::size_t>(index)];
  hit.row = row;
  hit.area = Area::kRow;
  const int top = (index - scrollTop_) * rowHeight_;
  if (!row->children.empty()) {
    RECT box = ExpanderRect(row, top);
    ::InflateRect(&box, slack, slack);
    if (::PtInRect(&box, point)) {
      hit.area = Area::kExpander;
      return hit;
    }
  }
  for (int column = 1; column < ColumnCount(); ++column) {
    if (point.x >= DividerX(column - 1) && point.x < DividerX(column)) {
      hit.column = column;
      if (static_cast<std::size_t>(column) <= row->cells.size())
        hit.area = Area::kCell;
      break;
    }
  }
  if (hit.column < 0 && point.x < DividerX(0))
    hit.column = 0;
  return hit;
}

void CTreeGrid::Layout() {
  if (canvas_.hwnd() == nullptr)
    return;
  const std::vector<GridRow*> visible = VisibleRows();
  const int count = static_cast<int>(visible.size());
  const int page = RowsPerPage();
  scrollTop_ = std::clamp(scrollTop_, 0, std::max(0, count - page));

  SCROLLINFO scroll{};
  scroll.cbSize = sizeof scroll;
  scroll.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  scroll.nMin = 0;
  scroll.nMax = std::max(0, count - 1);
  scroll.nPage = static_cast<UINT>(page);
  scroll.nPos = scrollTop_;
  ::SetScrollInfo(canvas_.hwnd(), SB_VERT, &scroll, TRUE);

  // Every cell of every row is placed or hidden in one deferred move, so that the canvas shows
  // no half-moved state while it scrolls.
  std::vector<std::pair<CGridCell*, RECT>> placements;
  std::vector<const GridRow*> stack;
  for (const auto& row : rows_)
    stack.push_back(row.get());
  while (!stack.empty()) {
    const GridRow* row = stack.back();
    stack.pop_back();
    for (std::size_t column = 0; column < row->cells.size(); ++column)
      placements.emplace_back(row->cells[column].get(), RECT{});
    for (const auto& child : row->children)
      stack.push_back(child.get());
  }
  for (int index = scrollTop_; index < std::min(count, scrollTop_ + page + 1); ++index) {
    const GridRow* row = visible[static_cast<std::size_t>(index)];
    for (std::size_t column = 0; column < row->cells.size(); ++column) {
      for (auto& placement : placements) {
        if (placement.first == row->cells[column].get())
          placement.second = CellRect(row, static_cast<int>(column) + 1);
      }
    }
  }
  HDWP moves = ::BeginDeferWindowPos(static_cast<int>(placements.size()));
  for (const auto& [cell, rect] : placements) {
    if (cell->hwnd() == nullptr)
      continue;
    const bool shown = rect.right > rect.left && rect.bottom > rect.top;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    if (moves != nullptr) {
      moves = ::DeferWindowPos(moves, cell->hwnd(), nullptr, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, flags);
    } else {
      ::SetWindowPos(cell->hwnd(), nullptr, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, flags);
    }
  }
  if (moves != nullptr)
    ::EndDeferWindowPos(moves);
}

void CTreeGrid::ScrollTo(int top) {
  const int former = scrollTop_;
  scrollTop_ = top;
  Layout();
  if (scrollTop_ != former)
    Redraw();
}

void CTreeGrid::EnsureVisible(const GridRow* row) {
  const int index = VisibleIndex(row);
  if (index < 0)
    return;
  const int page = RowsPerPage();
  if (index < scrollTop_)
    ScrollTo(index);
  else if (index >= scrollTop_ + page)
    ScrollTo(index - page + 1);
}

void CTreeGrid::InvalidateRow(const GridRow* row) {
  if (row == nullptr || canvas_.hwnd() == nullptr)
    return;
  const int index = VisibleIndex(row);
  if (index < scrollTop_ || index > scrollTop_ + RowsPerPage())
    return;
  const RECT client = canvas_.ClientRect();
  const int top = (index - scrollTop_) * rowHeight_;
  const RECT area{0, top, client.right, top + rowHeight_};
  ::InvalidateRect(canvas_.hwnd(), &area, FALSE);
  for (const auto& cell : row->cells) {
    if (cell->hwnd() != nullptr)
      ::InvalidateRect(cell->hwnd(), nullptr, FALSE);
  }
}

void CTreeGrid::SelectVisible(int index) {
  const std::vector<GridRow*> visible = VisibleRows();
  if (!visible.empty())
    Select(visible[static_cast<std::size_t>(
        std::clamp(index, 0, static_cast<int>(visible.size()) - 1))]);
}

void CTreeGrid::MoveSelection(int step) {
  const std::vector<GridRow*> visible = VisibleRows();
  if (visible.empty())
    return;
  const int count = static_cast<int>(visible.size());
  const int current = VisibleIndex(selection_);
  const int target =
      current < 0 ? (step >= 0 ? 0 : count - 1) : std::clamp(current + step, 0, count - 1);
  Select(visible[static_cast<std::size_t>(target)]);
}

bool CTreeGrid::CellClicked(CGridCell& cell) {
  if (!InputEnabled() || cell.row() == nullptr)
    return false;
  Notify(kGridClick, cell.row(), -1);
  Select(cell.row());
  int column = -1;
  for (std::size_t index = 0; index < cell.row()->cells.size(); ++index) {
    if (cell.row()->cells[index].get() == &cell)
      column = static_cast<int>(index) + 1;
  }
  return Notify(kGridBeforeCellActivate, cell.row(), column) == 0;
}

void CTreeGrid::CellKey(WPARAM key) {
  ::SetFocus(canvas_.hwnd());
  CanvasKey(key);
}

void CTreeGrid::CellChanged(const CGridCell& cell) {
  if (cell.row() != nullptr && cell.row() == selection_)
    NameCanvasAfterSelection();
}

std::optional<LRESULT> CTreeGrid::OnMessage(UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_SIZE:
      if (canvas_.hwnd() != nullptr) {
        const RECT client = ClientRect();
        ::MoveWindow(canvas_.hwnd(), 0, 0, client.right, client.bottom, TRUE);
      }
      return 0;
    case WM_SETFOCUS:
      if (canvas_.hwnd() != nullptr)
        ::SetFocus(canvas_.hwnd());
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the canvas covers the whole frame
    case WM_ENABLE:
      Redraw();
      return 0;
    default:
      return std::nullopt;
  }
}

}  // namespace quorin::client
