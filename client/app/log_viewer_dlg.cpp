#include "client/app/log_viewer_dlg.h"

#include <commctrl.h>

#include <string>

#include "client/framework/dpi.h"
#include "client/framework/resource_module.h"
#include "client/local/log_file.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr int kImageSize = 16;
// The bitmap's background colour, left transparent.
constexpr COLORREF kImageMask = RGB(255, 0, 255);

// Column widths at 96 DPI: the image, the message, the time.
constexpr int kIconColumnWidth = 20;
constexpr int kMessageColumnWidth = 200;
constexpr int kTimeColumnWidth = 160;

void InsertColumn(HWND list, int index, const std::wstring& title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_CENTER;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(title.c_str());
  column.iSubItem = index;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
}

void SetSubItemText(HWND list, int item, int subItem, const std::wstring& text) {
  LVITEMW cell{};
  cell.iSubItem = subItem;
  cell.pszText = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&cell));
}

}  // namespace

CLogViewerDlg::CLogViewerDlg(ClientContext& context, const Settings& settings)
    : CDialogBase(IDD_LOG), context_(context), settings_(settings) {}

CLogViewerDlg::~CLogViewerDlg() {
  // The list goes before the images it shows.
  DestroyWindow();
}

bool CLogViewerDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  SetUpList();
  FillList();
  return true;
}

void CLogViewerDlg::SetUpList() {
  const HWND list = Item(IDC_LOG_LIST);
  if (list == nullptr)
    return;
  // The list must not destroy the images the dialog owns.
  ::SetWindowLongPtrW(list, GWL_STYLE, ::GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  images_.reset(::ImageList_LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDB_LOG_IMAGES),
                                       kImageSize, 1, kImageMask, IMAGE_BITMAP,
                                       LR_CREATEDIBSECTION));
  ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.get()));
  ::SendMessageW(list, WM_SETFONT, ::SendMessageW(hwnd(), WM_GETFONT, 0, 0), FALSE);
  const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);

  const UINT dpi = WindowDpi(hwnd());
  InsertColumn(list, 0, L"", ScaleForDpi(kIconColumnWidth, dpi));
  InsertColumn(list, 1, platform::WideFromUtf8(LoadResourceText(IDS_LOG_COLUMN_MESSAGE)),
               ScaleForDpi(kMessageColumnWidth, dpi));
  InsertColumn(list, 2, platform::WideFromUtf8(LoadResourceText(IDS_LOG_COLUMN_TIME)),
               ScaleForDpi(kTimeColumnWidth, dpi));
}

void CLogViewerDlg::FillList() {
  const HWND list = Item(IDC_LOG_LIST);
  if (list == nullptr)
    return;
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  // The items come newest first; appending them in that order shows the newest on top.
  const std::vector<LogViewerItem> items = LogViewerItems(context_, settings_.MaxLog());
  for (std::size_t i = 0; i < items.size(); ++i) {
    LVITEMW row{};
    row.mask = LVIF_IMAGE;
    row.iItem = static_cast<int>(i);
    row.iImage = items[i].image;
    const auto index =
        static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
    if (index < 0)
      continue;
    SetSubItemText(list, index, 1, platform::WideFromUtf8(items[i].message));
    SetSubItemText(list, index, 2, platform::WideFromUtf8(items[i].time));
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

bool CLogViewerDlg::OnCommand(int id, int notifyCode, HWND) {
  if (id == IDC_CLEAR_LOG && notifyCode == BN_CLICKED) {
    ClearLog(context_);
    FillList();
    return true;
  }
  return false;
}

INT_PTR ShowLogViewer(HWND owner) {
  CLogViewerDlg dialog(GetClientContext(), ProcessSettings());
  return dialog.DoModal(owner);
}

}  // namespace quorin::client
