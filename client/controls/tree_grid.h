// The domain grid: a tree of rows (zones with their host rows) in columns, each row with a
// caption and cells (an address cell and check cells). The grid is a frame window that holds
// the rows and talks to its owner; its child, the canvas (identifier 30000, with the vertical
// scroll bar), paints the rows and takes the mouse and the keyboard.
//
// What the canvas does with input, in the order it does it: a click or double click takes the
// focus and tells the owner (-2, -3); over a column divider a press starts dragging it unless
// the owner refuses -1109; over a row's expander a click, or a double click on a row that has
// children, toggles the row unless the owner refuses -1108; over a cell a click selects the
// row (-1107 when the selection changes) and activates the cell unless the owner refuses
// -1110; elsewhere on a row it selects the row, outside every row it clears the selection.
// Enter and Down move to the next visible row, Up to the one before, Page Up and Page Down by
// a page, Home and End to the first and the last; Right expands a collapsed row or moves to
// the next row, Left collapses an expanded row or moves to the row's parent. Space toggles the
// selected row's check cell 0 and Shift+Space its check cell 1, with the notifications of a
// click (-2, then -1110, which the owner may refuse). Tab and Shift+Tab leave the grid for the
// next or previous control of the owner, as everywhere in a dialog. A disabled grid takes no
// input. The canvas carries the selected row and its cells' states as its window text, the
// name a screen reader announces.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/controls/grid_types.h"
#include "client/controls/hand_cursor.h"
#include "client/framework/gdi_objects.h"
#include "client/framework/window_base.h"

namespace quorin::client {

class CCheckCell;
class CGridCell;
class CTreeGrid;

// The inner window of the grid; all its behaviour is the grid's (tree_grid_canvas.cpp).
class CGridCanvas : public CWindowBase {
 public:
  explicit CGridCanvas(CTreeGrid& grid) : grid_(grid) {}

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  CTreeGrid& grid_;
};

class CTreeGrid : public CWindowBase {
 public:
  static constexpr int kCanvasId = 30000;

  CTreeGrid();
  ~CTreeGrid() override;

  // Makes the grid as a child of `owner` with `style` (clip-siblings and clip-children are
  // added), rows of `rowHeight` pixels at 96 DPI, and control identifier `controlId`; the
  // owner receives the notifications. False when a window could not be made.
  bool Create(DWORD style, const RECT& rect, HWND owner, int rowHeight, int controlId);

  // Removes every row (and its cells).
  void Clear();
  // Appends a row as the last child of `parent`, or as the last top-level row for null; it
  // gets the next item number and the owner hears -1101.
  GridRow* InsertRow(std::string_view text, GridRow* parent = nullptr);
  // Attaches `cell` to `row` as its next column; null when the cell's window could not be made.
  CGridCell* SetCell(GridRow* row, std::unique_ptr<CGridCell> cell);

  // Walking the rows in order: the first child of `row` (of the root for null), the next
  // sibling; null at the end.
  GridRow* FirstChild(const GridRow* row) const;
  GridRow* NextSibling(const GridRow* row) const;
  std::string RowText(const GridRow* row) const;
  // The check cell of `row` with index `index`, or null.
  CCheckCell* CellByIndex(const GridRow* row, int index) const;
  void Redraw();

  GridRow* Selection() const { return selection_; }
  // Selects `row` (null: none), tells the owner when that changed, and scrolls it into view.
  void Select(GridRow* row);
  // Expands or collapses `row` after asking the owner (-1108); false when refused or when
  // the row has no children.
  bool Toggle(GridRow* row);

  int ColumnWidth(int column) const;
  // The canvas's columns, the caption's first; widths in pixels.
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  int RowHeight() const { return rowHeight_; }
  int FirstVisibleRow() const { return scrollTop_; }
  HWND Canvas() const { return canvas_.hwnd(); }
  HWND Owner() const { return owner_; }
  HFONT Font() const { return font_.get(); }
  bool IsSelected(const GridRow* row) const { return row != nullptr && row == selection_; }
  bool HasFocus() const;
  bool InputEnabled() const;

  // The rectangle of `row`'s column `column` on the canvas; empty when the row is out of view.
  RECT CellRect(const GridRow* row, int column) const;
  // The x position of the divider at the right of column `column`.
  int DividerX(int column) const;

  // Sizes and the font again for the window's DPI (after WM_DPICHANGED of the owner).
  void UpdateForDpi();

  // For the cells: a click on `cell` that reached the cell's own window. Selects the row and
  // asks the owner (-2, -1110); true when the cell may take the click.
  bool CellClicked(CGridCell& cell);
  // A navigation key that a cell hands to the grid; the canvas takes the focus.
  void CellKey(WPARAM key);
  // A cell's value changed (a check cell toggled or set): the canvas's name follows.
  void CellChanged(const CGridCell& cell);

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class CGridCanvas;

  enum class Area { kNone, kDivider, kExpander, kCell, kRow };
  struct Hit {
    Area area = Area::kNone;
    GridRow* row = nullptr;
    int column = -1;
  };

  LRESULT Notify(int code, GridRow* row, int column);
  std::vector<GridRow*> VisibleRows() const;
  int VisibleIndex(const GridRow* row) const;
  int RowsPerPage() const;
  int Level(const GridRow* row) const;
  RECT ExpanderRect(const GridRow* row, int top) const;
  Hit HitTest(POINT point) const;
  void Layout();
  void ScrollTo(int top);
  void EnsureVisible(const GridRow* row);
  void InvalidateRow(const GridRow* row);
  // Moves the selection `step` visible rows on (from none: to the first row, or the last for
  // a step back); SelectVisible selects the visible row `index`.
  void MoveSelection(int step);
  void SelectVisible(int index);
  // Names the canvas after the selected row: its caption, its address and its check cells'
  // states ("www.example.net, 203.0.113.7, Option: No, Do not update: Yes").
  void NameCanvasAfterSelection();
  // The focus goes to the owner's next (or previous) tab stop after the grid.
  void FocusNextControl(bool backwards);
  // Space on the canvas: the selected row's check cell `index` toggles as after a click.
  void ToggleCheckByKey(int index);
  void ChooseFontAndSizes();

  // Canvas behaviour (tree_grid_canvas.cpp).
  void PaintCanvas(HDC dc, const RECT& area);
  void PaintRow(HDC dc, const GridRow& row, int top, int width);
  void CanvasClick(POINT point, bool doubleClick);
  void CanvasKey(WPARAM key);
  bool CanvasSetCursor();
  void CanvasScroll(int request, int amount);

  CGridCanvas canvas_;
  HWND owner_ = nullptr;
  int baseRowHeight_ = 24;
  int rowHeight_ = 24;
  UINT dpi_ = 96;
  std::vector<std::unique_ptr<GridRow>> rows_;
  std::vector<int> baseColumns_;
  std::vector<int> columns_;
  int nextItemNumber_ = 1;
  GridRow* selection_ = nullptr;
  int scrollTop_ = 0;
  int dragColumn_ = -1;
  int dragStartX_ = 0;
  int dragStartWidth_ = 0;
  UniqueFont font_;
  HandCursor handCursor_;
  // How a check cell's state is read out, in the interface language.
  std::string checkedWord_;
  std::string uncheckedWord_;
};

}  // namespace quorin::client
