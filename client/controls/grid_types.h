// The rows of the domain grid and the notifications it sends its owner.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace quorin::client {

class CGridCell;

// Codes of the grid's WM_NOTIFY messages (NMHDR::code). The owner receives a GridNotify whose
// header names the grid's window and control identifier. For the three "before" codes a
// non-zero answer from the owner refuses the action.
inline constexpr int kGridClick = -2;                  // NM_CLICK: a click on the grid
inline constexpr int kGridDoubleClick = -3;            // NM_DBLCLK
inline constexpr int kGridRowInserted = -1101;         // after a row was inserted
inline constexpr int kGridSelectionChanged = -1107;    // the selected row changed (also to none)
inline constexpr int kGridBeforeToggle = -1108;        // before a row is expanded or collapsed
inline constexpr int kGridBeforeDividerDrag = -1109;   // before a column divider is dragged
inline constexpr int kGridBeforeCellActivate = -1110;  // before a cell is activated

struct GridRow;

struct GridNotify {
  NMHDR header;
  GridRow* row;  // the row concerned, or null
  int column;    // the column concerned (the divider's left column, the cell's), or -1
};

// A row: its caption (the text cell), its cells and its child rows. Rows belong to the grid;
// callers keep pointers to them until the grid is cleared.
struct GridRow {
  std::string text;
  int itemNumber = 0;  // 1 for the first row ever inserted, then counting up
  GridRow* parent = nullptr;
  bool expanded = true;
  std::vector<std::unique_ptr<GridRow>> children;
  // The cells of columns 1, 2, ... (column 0 is the caption).
  std::vector<std::unique_ptr<CGridCell>> cells;
};

}  // namespace quorin::client
