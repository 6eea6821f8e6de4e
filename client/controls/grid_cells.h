// The cells of the domain grid's rows besides the caption: the check cell (a check box with a
// label) and the address cell (the system's IP address control). Each is a child window of the
// grid's canvas, placed and shown by the grid over its column of the row; the grid decides
// what a click does (see CTreeGrid), the cells hold the values.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "client/framework/window_base.h"

namespace quorin::client {

class CTreeGrid;
struct GridRow;

class CGridCell : public CWindowBase {
 public:
  explicit CGridCell(int index) : index_(index) {}

  // The number the caller gave the cell (CTreeGrid::CellByIndex finds cells by it).
  int index() const { return index_; }
  GridRow* row() const { return row_; }

  // Makes the cell's window, hidden, as a child of the grid's canvas with the grid's font.
  virtual bool CreateIn(CTreeGrid& grid, GridRow& row) = 0;
  // A click on the cell (or Enter) that the owner did not refuse.
  virtual void Activate() = 0;
  // The grid's font changed (a new DPI).
  virtual void SetFont(HFONT font);

 protected:
  CTreeGrid* grid_ = nullptr;
  GridRow* row_ = nullptr;

 private:
  const int index_;
};

class CCheckCell : public CGridCell {
 public:
  explicit CCheckCell(int index) : CGridCell(index) {}

  bool CreateIn(CTreeGrid& grid, GridRow& row) override;
  // Toggles the check state.
  void Activate() override;

  void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }
  // The label shown while checked and while not.
  void SetLabels(std::string_view checkedText, std::string_view uncheckedText);
  // The label shown now.
  const std::wstring& Label() const { return checked_ ? checkedLabel_ : uncheckedLabel_; }

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc, const RECT& area);

  bool checked_ = false;
  std::wstring checkedLabel_ = L"Checked";
  std::wstring uncheckedLabel_ = L"UnChecked";
};

class CAddressCell : public CGridCell {
 public:
  explicit CAddressCell(int index = 0);
  ~CAddressCell() override;

  bool CreateIn(CTreeGrid& grid, GridRow& row) override;
  // Gives the first field the keyboard.
  void Activate() override;
  void SetFont(HFONT font) override;

  // Splits `text` at "." and stores up to four parts as the fields, first part highest; each
  // part is read as a whole number (what does not start with a digit counts as 0) and held to
  // 0..255, the range of a field. Missing parts are 0.
  void SetAddress(std::string_view text);
  // The four fields as "%d.%d.%d.%d".
  std::string GetAddress() const;

  // The IP address control inside the cell.
  HWND AddressControl() const { return control_; }
  // Field windows of the control, left to right (null before CreateIn).
  HWND Field(int position) const;

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  class FieldWindow;

  // Makes the IP address control again at the cell's size: the control places its fields
  // only when it is created. The address and the focus stay.
  void BuildControl(int width, int height);

  HWND control_ = nullptr;
  SIZE builtSize_{-1, -1};
  std::array<std::unique_ptr<FieldWindow>, 4> fields_;
};

}  // namespace quorin::client
