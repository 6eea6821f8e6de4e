#include "client/app/about_dialog.h"

#include "client/app/language_file.h"
#include "client/app/product_title.h"
#include "client/framework/resource_module.h"
#include "client/local/settings.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr std::size_t kShortTextBytes = 256;
constexpr std::size_t kLongTextBytes = 1024;

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

  // A section of its own rather than a bitmap of the screen's format: the picture keeps its
  // colours whatever the display's depth.
  picture_.reset(static_cast<HBITMAP>(::LoadImageW(nullptr, L"skin\\bitmap11.skn", IMAGE_BITMAP, 0,
                                                   0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
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
