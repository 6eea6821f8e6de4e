// The canvas of the domain grid: painting the rows and turning the mouse, the wheel, the
// scroll bar and the keyboard into the grid's actions.
#include <windowsx.h>

#include <algorithm>

#include "client/controls/grid_cells.h"
#include "client/controls/tree_grid.h"
#include "client/framework/dpi.h"
#include "client/framework/paint_dc.h"
#include "client/framework/resource_module.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

// The resource library's cursor for a column divider.
constexpr int kDividerCursor = 130;
constexpr int kWheelRows = 3;

void FillSystemColour(HDC dc, const RECT& rect, int colour) {
  ::FillRect(dc, &rect, ::GetSysColorBrush(colour));
}

}  // namespace

std::optional<LRESULT> CGridCanvas::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints every pixel, off screen
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      const PaintDc paint(hwnd(),
                          message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
      const MemoryDc memory(paint.get(), paint.area());
      grid_.PaintCanvas(memory.get(), paint.area());
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      grid_.CanvasClick(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)},
                        message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_MOUSEMOVE:
      if (grid_.dragColumn_ >= 0) {
        const int width =
            std::max(ScaleForDpi(24, grid_.dpi_),
                     grid_.dragStartWidth_ + GET_X_LPARAM(lParam) - grid_.dragStartX_);
        grid_.columns_[static_cast<std::size_t>(grid_.dragColumn_)] = width;
        grid_.Layout();
        grid_.Redraw();
      }
      return 0;
    case WM_LBUTTONUP:
      if (grid_.dragColumn_ >= 0)
        ::ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      grid_.dragColumn_ = -1;
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && grid_.CanvasSetCursor())
        return TRUE;
      return std::nullopt;
    case WM_VSCROLL:
      grid_.CanvasScroll(LOWORD(wParam), 0);
      return 0;
    case WM_MOUSEWHEEL:
      if (grid_.InputEnabled()) {
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        grid_.ScrollTo(grid_.scrollTop_ - notches * kWheelRows);
      }
      return 0;
    case WM_KEYDOWN:
      grid_.CanvasKey(wParam);
      return 0;
    case WM_CHAR:
      return 0;  // Enter and Space were handled as keys; no beep
    case WM_GETDLGCODE: {
      // Inside a dialog the grid keeps the arrows, Space and Enter; Tab and Escape stay the
      // dialog's, so that Tab moves on to the next control as everywhere else.
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_SETFOCUS:
      // An address edited in its cell is part of the row's name.
      grid_.NameCanvasAfterSelection();
      grid_.InvalidateRow(grid_.selection_);
      return 0;
    case WM_KILLFOCUS:
      grid_.InvalidateRow(grid_.selection_);
      return 0;
    case WM_SIZE:
      grid_.Layout();
      grid_.Redraw();
      return 0;
    default:
      return std::nullopt;
  }
}

void CTreeGrid::PaintCanvas(HDC dc, const RECT& area) {
  const RECT client = canvas_.ClientRect();
  FillSystemColour(dc, area, COLOR_WINDOW);
  const SelectScope font(dc, font_.get());
  ::SetBkMode(dc, TRANSPARENT);
  const std::vector<GridRow*> visible = VisibleRows();
  const int last = std::min(static_cast<int>(visible.size()), scrollTop_ + RowsPerPage() + 1);
  for (int index = scrollTop_; index < last; ++index) {
    const int top = (index - scrollTop_) * rowHeight_;
    if (top >= area.bottom || top + rowHeight_ <= area.top)
      continue;
    PaintRow(dc, *visible[static_cast<std::size_t>(index)], top, client.right);
  }
}

void CTreeGrid::PaintRow(HDC dc, const GridRow& row, int top, int width) {
  const bool selected = IsSelected(&row);
  const bool focused = HasFocus();
  const bool enabled = InputEnabled();
  const RECT whole{0, top, width, top + rowHeight_};
  if (selected)
    FillSystemColour(dc, whole, focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  const RECT rule{0, top + rowHeight_ - 1, width, top + rowHeight_};
  FillSystemColour(dc, rule, COLOR_BTNFACE);

  const RECT box = ExpanderRect(&row, top);
  if (!row.children.empty()) {
    // A boxed plus or minus in the window's text colour, readable on every theme.
    FillSystemColour(dc, box, COLOR_WINDOW);
    ::FrameRect(dc, &box, ::GetSysColorBrush(COLOR_GRAYTEXT));
    const int middleY = (box.top + box.bottom) / 2;
    const int middleX = (box.left + box.right) / 2;
    const int inset = std::max(2, static_cast<int>(box.right - box.left) / 4);
    const RECT across{box.left + inset, middleY, box.right - inset, middleY + 1};
    FillSystemColour(dc, across, COLOR_WINDOWTEXT);
    if (!row.expanded) {
      const RECT down{middleX, box.top + inset, middleX + 1, box.bottom - inset};
      FillSystemColour(dc, down, COLOR_WINDOWTEXT);
    }
  }

  int textColour = COLOR_WINDOWTEXT;
  if (!enabled)
    textColour = COLOR_GRAYTEXT;
  else if (selected && focused)
    textColour = COLOR_HIGHLIGHTTEXT;
  else if (selected)
    textColour = COLOR_BTNTEXT;
  ::SetTextColor(dc, ::GetSysColor(textColour));
  // A row without cells (a zone) is a heading: its caption takes the whole width, with no
  // column dividers through it. A row with cells stops at the first divider.
  const bool heading = row.cells.empty();
  if (!heading) {
    for (int column = 0; column < ColumnCount(); ++column) {
      const RECT line{DividerX(column) - 1, top, DividerX(column), top + rowHeight_};
      FillSystemColour(dc, line, COLOR_BTNFACE);
    }
  }
  RECT text{box.right + ScaleForDpi(6, dpi_), top,
            (heading ? width : DividerX(0)) - ScaleForDpi(4, dpi_), top + rowHeight_};
  const std::wstring caption = platform::WideFromUtf8(row.text);
  ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (selected && focused) {
    RECT focusRect = whole;
    focusRect.bottom -= 1;
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::DrawFocusRect(dc, &focusRect);
  }
}

void CTreeGrid::CanvasClick(POINT point, bool doubleClick) {
  if (!InputEnabled())
    return;
  ::SetFocus(canvas_.hwnd());
  Notify(doubleClick ? kGridDoubleClick : kGridClick, nullptr, -1);
  const Hit hit = HitTest(point);
  switch (hit.area) {
    case Area::kDivider:
      if (Notify(kGridBeforeDividerDrag, hit.row, hit.column) != 0)
        return;
      dragColumn_ = hit.column;
      dragStartX_ = point.x;
      dragStartWidth_ = ColumnWidth(hit.column);
      ::SetCapture(canvas_.hwnd());
      return;
    case Area::kExpander:
      Select(hit.row);
      Toggle(hit.row);
      return;
    case Area::kCell: {
      Select(hit.row);
      if (Notify(kGridBeforeCellActivate, hit.row, hit.column) != 0)
        return;
      hit.row->cells[static_cast<std::size_t>(hit.column - 1)]->Activate();
      return;
    }
    case Area::kRow:
      Select(hit.row);
      if (doubleClick && !hit.row->children.empty())
        Toggle(hit.row);
      return;
    case Area::kNone:
      Select(nullptr);
      return;
  }
}

void CTreeGrid::CanvasKey(WPARAM key) {
  if (!InputEnabled())
    return;
  const bool shift = ::GetKeyState(VK_SHIFT) < 0;
  const int page = std::max(1, RowsPerPage() - 1);
  const int count = static_cast<int>(VisibleRows().size());
  switch (key) {
    case VK_TAB:
      FocusNextControl(shift);
      return;
    case VK_SPACE:
      ToggleCheckByKey(shift ? 1 : 0);
      return;
    case VK_RETURN:
    case VK_DOWN:
      MoveSelection(1);
      return;
    case VK_UP:
      MoveSelection(-1);
      return;
    case VK_NEXT:
      MoveSelection(page);
      return;
    case VK_PRIOR:
      MoveSelection(-page);
      return;
    case VK_HOME:
      SelectVisible(0);
      return;
    case VK_END:
      SelectVisible(count - 1);
      return;
    case VK_RIGHT:
      if (selection_ != nullptr && !selection_->children.empty() && !selection_->expanded)
        Toggle(selection_);
      else
        MoveSelection(1);
      return;
    case VK_LEFT:
      if (selection_ != nullptr && !selection_->children.empty() && selection_->expanded)
        Toggle(selection_);
      else if (selection_ != nullptr && selection_->parent != nullptr)
        Select(selection_->parent);
      else
        MoveSelection(-1);
      return;
    default:
      return;
  }
}

bool CTreeGrid::CanvasSetCursor() {
  POINT point{};
  ::GetCursorPos(&point);
  ::ScreenToClient(canvas_.hwnd(), &point);
  const Area area = dragColumn_ >= 0 ? Area::kDivider : HitTest(point).area;
  HCURSOR cursor = nullptr;
  if (area == Area::kDivider)
    cursor = ::LoadCursorW(ResourceModule(), MAKEINTRESOURCEW(kDividerCursor));
  else if (area == Area::kExpander)
    cursor = handCursor_.get();
  ::SetCursor(cursor != nullptr ? cursor : ::LoadCursorW(nullptr, IDC_ARROW));
  return true;
}

void CTreeGrid::CanvasScroll(int request, int) {
  if (!InputEnabled())
    return;
  const int page = std::max(1, RowsPerPage() - 1);
  switch (request) {
    case SB_LINEUP:
      ScrollTo(scrollTop_ - 1);
      return;
    case SB_LINEDOWN:
      ScrollTo(scrollTop_ + 1);
      return;
    case SB_PAGEUP:
      ScrollTo(scrollTop_ - page);
      return;
    case SB_PAGEDOWN:
      ScrollTo(scrollTop_ + page);
      return;
    case SB_TOP:
      ScrollTo(0);
      return;
    case SB_BOTTOM:
      ScrollTo(static_cast<int>(VisibleRows().size()));
      return;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO scroll{};
      scroll.cbSize = sizeof scroll;
      scroll.fMask = SIF_TRACKPOS;
      ::GetScrollInfo(canvas_.hwnd(), SB_VERT, &scroll);
      ScrollTo(scroll.nTrackPos);
      return;
    }
    default:
      return;
  }
}

}  // namespace quorin::client
