#include "client/controls/grid_cells.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "client/controls/tree_grid.h"
#include "client/framework/dpi.h"
#include "client/framework/paint_dc.h"
#include "client/texts/text_tokenizer.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

constexpr wchar_t kCheckCellClass[] = L"QuorinFree.CheckCell";
constexpr wchar_t kAddressCellClass[] = L"QuorinFree.AddressCell";
constexpr DWORD kCellStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

// The keys that the grid takes rather than a field of the address (Tab leaves the grid).
bool IsGridKey(WPARAM key) {
  switch (key) {
    case VK_TAB:
    case VK_RETURN:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
      return true;
    default:
      return false;
  }
}

}  // namespace

void CGridCell::SetFont(HFONT font) {
  if (hwnd() != nullptr)
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// --- CCheckCell -------------------------------------------------------------------------------

bool CCheckCell::CreateIn(CTreeGrid& grid, GridRow& row) {
  grid_ = &grid;
  row_ = &row;
  if (!RegisterWindowClass(kCheckCellClass, CS_HREDRAW | CS_VREDRAW,
                           ::LoadCursorW(nullptr, IDC_ARROW), nullptr))
    return false;
  return CreateEx(0, kCheckCellClass, L"", kCellStyle, RECT{0, 0, 0, 0}, grid.Canvas(),
                  static_cast<UINT_PTR>(index()));
}

void CCheckCell::Activate() {
  SetCheck(!checked_);
}

void CCheckCell::SetCheck(bool checked) {
  if (checked == checked_)
    return;
  checked_ = checked;
  Invalidate();
  if (grid_ != nullptr)
    grid_->CellChanged(*this);
}

void CCheckCell::SetLabels(std::string_view checkedText, std::string_view uncheckedText) {
  checkedLabel_ = platform::WideFromUtf8(checkedText);
  uncheckedLabel_ = platform::WideFromUtf8(uncheckedText);
  Invalidate();
  if (grid_ != nullptr)
    grid_->CellChanged(*this);
}

std::optional<LRESULT> CCheckCell::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_NCHITTEST:
      // The canvas beneath takes the mouse: it selects the row and asks the owner first.
      return HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      const PaintDc paint(hwnd(),
                          message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
      const RECT client = ClientRect();
      const MemoryDc memory(paint.get(), client);
      Paint(memory.get(), client);
      return 0;
    }
    default:
      return std::nullopt;
  }
}

void CCheckCell::Paint(HDC dc, const RECT& area) {
  const bool selected = grid_ != nullptr && grid_->IsSelected(row_);
  const bool focused = selected && grid_->HasFocus();
  const bool enabled = grid_ == nullptr || grid_->InputEnabled();
  ::FillRect(
      dc, &area,
      ::GetSysColorBrush(focused ? COLOR_HIGHLIGHT : (selected ? COLOR_BTNFACE : COLOR_WINDOW)));
  const UINT dpi = WindowDpi(hwnd());
  const int box = std::min(ScaleForDpi(13, dpi), static_cast<int>(area.bottom - area.top));
  const int top = area.top + (area.bottom - area.top - box) / 2;
  RECT boxRect{area.left + ScaleForDpi(2, dpi), top, area.left + ScaleForDpi(2, dpi) + box,
               top + box};
  UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
  if (checked_)
    state |= DFCS_CHECKED;
  if (!enabled)
    state |= DFCS_INACTIVE;
  ::DrawFrameControl(dc, &boxRect, DFC_BUTTON, state);

  const SelectScope font(dc, grid_ != nullptr ? grid_->Font() : nullptr);
  ::SetBkMode(dc, TRANSPARENT);
  int colour = COLOR_WINDOWTEXT;
  if (!enabled)
    colour = COLOR_GRAYTEXT;
  else if (focused)
    colour = COLOR_HIGHLIGHTTEXT;
  else if (selected)
    colour = COLOR_BTNTEXT;
  ::SetTextColor(dc, ::GetSysColor(colour));
  RECT text{boxRect.right + ScaleForDpi(4, dpi), area.top, area.right, area.bottom};
  const std::wstring& label = checked_ ? checkedLabel_ : uncheckedLabel_;
  ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// --- CAddressCell -----------------------------------------------------------------------------

// One of the IP address control's four edit fields: a click asks the grid first, and the
// grid's navigation keys go back to the grid, so that focus and keys stay in the grid.
class CAddressCell::FieldWindow : public CWindowBase {
 public:
  explicit FieldWindow(CAddressCell& cell) : cell_(cell) {}

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    CTreeGrid* grid = cell_.grid_;
    if (grid == nullptr)
      return std::nullopt;
    switch (message) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        // A refused activation leaves the field as it was: no focus, no caret.
        if (!grid->CellClicked(cell_))
          return 0;
        return std::nullopt;
      case WM_KEYDOWN:
        if (IsGridKey(wParam)) {
          grid->CellKey(wParam);
          return 0;
        }
        return std::nullopt;
      case WM_CHAR:
        if (wParam == L'\t' || wParam == L'\r')
          return 0;  // handled as keys
        return std::nullopt;
      case WM_GETDLGCODE:
        // A dialog would take Tab and Enter for itself: Enter moves in the grid, and Tab goes
        // through the grid to the control after it, not to the next field of the address.
        return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_HASSETSEL;
      default:
        return std::nullopt;
    }
  }

 private:
  CAddressCell& cell_;
};

CAddressCell::CAddressCell(int index) : CGridCell(index) {}

CAddressCell::~CAddressCell() {
  // The fields let go of their windows before the cell's window takes them along.
  for (auto& field : fields_)
    field.reset();
}

bool CAddressCell::CreateIn(CTreeGrid& grid, GridRow& row) {
  grid_ = &grid;
  row_ = &row;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_INTERNET_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (!RegisterWindowClass(kAddressCellClass, CS_HREDRAW | CS_VREDRAW,
                           ::LoadCursorW(nullptr, IDC_ARROW), ::GetSysColorBrush(COLOR_WINDOW)))
    return false;
  if (!CreateEx(0, kAddressCellClass, L"", kCellStyle, RECT{0, 0, 0, 0}, grid.Canvas(),
                static_cast<UINT_PTR>(1000 + index())))
    return false;
  BuildControl(0, 0);
  return control_ != nullptr;
}

void CAddressCell::BuildControl(int width, int height) {
  if (builtSize_.cx == width && builtSize_.cy == height && control_ != nullptr)
    return;
  std::string address;
  bool focused = false;
  if (control_ != nullptr) {
    address = GetAddress();
    const HWND focus = ::GetFocus();
    focused = focus != nullptr && (focus == control_ || ::IsChild(control_, focus));
    for (auto& field : fields_)
      field.reset();
    ::DestroyWindow(control_);
    control_ = nullptr;
  }
  builtSize_ = SIZE{width, height};
  control_ =
      ::CreateWindowExW(0, WC_IPADDRESSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, width,
                        height, hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (control_ == nullptr)
    return;
  if (grid_ != nullptr)
    ::SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(grid_->Font()), FALSE);
  // The fields in the order they stand, left to right.
  std::vector<HWND> found;
  for (HWND child = ::GetWindow(control_, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    found.push_back(child);
  }
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    ::GetWindowRect(a, &ra);
    ::GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  for (std::size_t position = 0; position < fields_.size() && position < found.size(); ++position) {
    fields_[position] = std::make_unique<FieldWindow>(*this);
    fields_[position]->Subclass(found[position]);
  }
  if (!address.empty())
    SetAddress(address);
  if (focused)
    Activate();
}

void CAddressCell::Activate() {
  if (fields_[0] != nullptr && fields_[0]->hwnd() != nullptr) {
    ::SetFocus(fields_[0]->hwnd());
    ::SendMessageW(fields_[0]->hwnd(), EM_SETSEL, 0, -1);
  }
}

void CAddressCell::SetFont(HFONT) {
  // The control takes the grid's font when it is made again.
  const SIZE size = builtSize_;
  builtSize_ = SIZE{-1, -1};
  BuildControl(size.cx, size.cy);
}

HWND CAddressCell::Field(int position) const {
  return position >= 0 && position < 4 && fields_[static_cast<std::size_t>(position)] != nullptr
             ? fields_[static_cast<std::size_t>(position)]->hwnd()
             : nullptr;
}

void CAddressCell::SetAddress(std::string_view text) {
  std::array<int, 4> parts{};
  TextTokenizer tokens(text, '.');
  for (std::size_t position = 0; position < parts.size() && tokens.HasMore(); ++position) {
    const std::string part = tokens.Next();
    // atoi's reading of the part, held to a field's range: "300" is 255, "-1" and "x" are 0.
    const long value = std::strtol(part.c_str(), nullptr, 10);
    parts[position] = static_cast<int>(std::clamp(value, 0L, 255L));
  }
  if (control_ != nullptr) {
    ::SendMessageW(control_, IPM_SETADDRESS, 0,
                   static_cast<LPARAM>(MAKEIPADDRESS(parts[0], parts[1], parts[2], parts[3])));
  }
}

std::string CAddressCell::GetAddress() const {
  DWORD address = 0;
  if (control_ != nullptr)
    ::SendMessageW(control_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  char text[16] = {};
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(FIRST_IPADDRESS(address)),
                static_cast<int>(SECOND_IPADDRESS(address)),
                static_cast<int>(THIRD_IPADDRESS(address)),
                static_cast<int>(FOURTH_IPADDRESS(address)));
  return text;
}

std::optional<LRESULT> CAddressCell::OnMessage(UINT message, WPARAM, LPARAM) {
  if (message == WM_SIZE) {
    const RECT client = ClientRect();
    if (client.right > 0 && client.bottom > 0)
      BuildControl(client.right, client.bottom);
    return 0;
  }
  return std::nullopt;
}

}  // namespace quorin::client
