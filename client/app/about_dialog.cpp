#include "client/app/about_dialog.h"

#include <utility>

#include "client/app/language_file.h"
#include "client/app/product_title.h"
#include "client/framework/dpi.h"
#include "client/framework/resource_module.h"
#include "client/local/settings.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr std::size_t kShortTextBytes = 256;
constexpr std::size_t kLongTextBytes = 1024;

// The skin's picture as a section of its own rather than a bitmap of the screen's format, so
// that it keeps its colours whatever the display's depth; drawn for 96 DPI, it is stretched to
// the window's DPI as the template's text around it is.
UniqueBitmap LoadPicture(UINT dpi) {
  constexpr UINT kFlags = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
  UniqueBitmap picture(static_cast<HBITMAP>(
      ::LoadImageW(nullptr, L"skin\\bitmap11.skn", IMAGE_BITMAP, 0, 0, kFlags)));
  BITMAP size{};
  if (!picture || dpi == kBaseDpi || ::GetObjectW(picture.get(), sizeof size, &size) == 0)
    return picture;
  UniqueBitmap scaled(static_cast<HBITMAP>(
      ::LoadImageW(nullptr, L"skin\\bitmap11.skn", IMAGE_BITMAP, ScaleForDpi(size.bmWidth, dpi),
                   ScaleForDpi(size.bmHeight, dpi), kFlags)));
  return scaled ? std::move(scaled) : std::move(picture);
}

}  // namespace

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() {
  // The picture control may still hold the bitmap: the window goes first.
  DestroyWindow();
}

bool CAboutDlg::OnInitDialog() {
  // The skin was applied to the window before this (the dialogs' init hook).
  CDialogBase::OnInitDialog();
  SetItemText(IDC_ABOUT_TITLE, FormatProductTitle(LoadResourceText(IDS_PRODUCT_TITLE),
                                                  ProcessSettings().GetCurrentVersion()));

  picture_ = LoadPicture(WindowDpi(hwnd()));
  if (picture_) {
    const HWND control = Item(IDC_ABOUT_PICTURE);
    const auto former = reinterpret_cast<HBITMAP>(::SendMessageW(
        control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get())));
    // A picture the template gave the control is its own to free; it has none.
    if (former != nullptr && former != picture_.get())
      ::DeleteObject(former);
  }

  SetItemText(IDC_ABOUT_TEXT1, ReadLanguageText("AboutDlg", "about001", kShortTextBytes));
  SetItemText(IDC_ABOUT_TEXT2, ReadLanguageText("AboutDlg", "about002", kShortTextBytes));
  SetItemText(IDC_ABOUT_TEXT3, ReadLanguageText("AboutDlg", "about003", kLongTextBytes));
  SetCaption(ReadLanguageText("AboutDlg", "about004", kShortTextBytes));
  return true;
}

}  // namespace quorin::client
