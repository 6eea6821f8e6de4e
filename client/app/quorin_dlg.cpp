#include "client/app/quorin_dlg.h"

#include <array>

#include "client/app/language_file.h"
#include "client/app/message_dialog.h"
#include "client/app/product_title.h"
#include "client/app/start_up_steps.h"
#include "client/framework/resource_module.h"
#include "client/local/service_switch.h"
#include "client/local/settings.h"
#include "client/record/client_context.h"
#include "client/texts/string_table.h"
#include "platform/service_control.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr std::array kLoginControls = {IDC_ACCOUNT_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_HINT,
                                       IDC_ACCOUNT_NAME,  IDC_PASSWORD,       IDC_SAVE_PASSWORD,
                                       IDC_LOGIN,         IDC_LINK,           IDC_LOGIN_HEADING};
constexpr std::array kLoggedInControls = {IDC_LOGOUT, IDC_DOMAINS_LABEL, IDC_REFRESH_DOMAINS,
                                          IDC_SAVE_CHANGES, IDC_DOMAIN_GRID};

constexpr unsigned kRegisterLinkText = 57722;

HICON LoadSkinIcon(int size) {
  return static_cast<HICON>(
      ::LoadImageW(nullptr, L"skin\\QuorinFree.ico", IMAGE_ICON, size, size, LR_LOADFROMFILE));
}

}  // namespace

CQuorinFreeDlg::CQuorinFreeDlg() : CDialogBase(IDD_QUORINFREE_DIALOG) {}

CQuorinFreeDlg::~CQuorinFreeDlg() {
  DestroyWindow();
  if (largeIcon_ != nullptr)
    ::DestroyIcon(largeIcon_);
  if (smallIcon_ != nullptr)
    ::DestroyIcon(smallIcon_);
  if (settingsBitmap_ != nullptr)
    ::DeleteObject(settingsBitmap_);
}

bool CQuorinFreeDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  Settings& settings = ProcessSettings();
  const std::string title = ProductTitle();

  settingsBitmap_ = ::LoadBitmapW(ResourceModule(), MAKEINTRESOURCEW(IDB_SETTINGS));
  if (const HMENU menu = ::GetMenu(hwnd())) {
    if (const HMENU first = ::GetSubMenu(menu, 0)) {
      ::SetMenuItemBitmaps(first, 0, MF_BYPOSITION, settingsBitmap_, settingsBitmap_);
    }
  }

  SetCaption(title);
  if (!settings.ErpVariant())
    SetItemText(IDC_LINK, LoadResourceText(kRegisterLinkText));

  largeIcon_ = LoadSkinIcon(32);
  smallIcon_ = LoadSkinIcon(16);
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  MarkClientWindow(hwnd(), title);

  ShowLoginView(true);
  Refresh();

  SetCaption(ReadLanguageText("AboutDlg", "about004") + " " + settings.GetCurrentVersion());
  SetMenuTexts();
  return true;
}

void CQuorinFreeDlg::ShowLoginView(bool loginView) {
  for (const int id : kLoginControls)
    ShowItem(id, loginView);
  for (const int id : kLoggedInControls)
    ShowItem(id, !loginView);
}

void CQuorinFreeDlg::Refresh() {
  if (hwnd() == nullptr)
    return;
  ClientContext& context = GetClientContext();
  SetItemText(IDC_STATUS_USER, context.StatusText(0));
  SetItemText(IDC_STATUS_LINE, context.StatusText(1));
  SetItemText(IDC_STATUS_ADDRESS, context.StatusText(4));
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CQuorinFreeDlg::SetMenuTexts() {
  const HMENU menu = ::GetMenu(hwnd());
  if (menu == nullptr)
    return;
  const std::wstring about = platform::WideFromUtf8(ReadLanguageText("Menu", "AboutMenu"));
  const std::wstring host = platform::WideFromUtf8(ReadLanguageText("Menu", "HostMenu"));
  ::ModifyMenuW(menu, ID_MENU_ABOUT, MF_BYCOMMAND | MF_STRING, ID_MENU_ABOUT, about.c_str());
  ::ModifyMenuW(menu, ID_MENU_PROVIDER_SITE, MF_BYCOMMAND | MF_STRING, ID_MENU_PROVIDER_SITE,
                host.c_str());
  ::DrawMenuBar(hwnd());
}

bool CQuorinFreeDlg::OnCommand(int id, int, HWND) {
  if (id == IDC_EXIT || id == ID_MENU_EXIT || id == ID_MENU_TRAY_EXIT) {
    Exit();
    return true;
  }
  return false;
}

std::optional<LRESULT> CQuorinFreeDlg::OnMessage(UINT message, WPARAM, LPARAM) {
  if (message == WM_DESTROY)
    UnmarkClientWindow(hwnd(), ProductTitle());
  return std::nullopt;
}

void CQuorinFreeDlg::Exit() {
  if (ClientMessageBox(LoadResourceText(text_id::kConfirmExit), kMessageOk, false, {}, 0, hwnd()) !=
      IDOK) {
    return;
  }
  if (platform::QueryServiceState(kServiceName) != platform::kServiceNotInstalled) {
    platform::StopServiceByName(kServiceName);
  }
  EndDialog(1);
}

}  // namespace quorin::client
