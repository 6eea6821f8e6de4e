#include "client/app/quorin_dlg.h"

#include <array>

#include "client/app/language_file.h"
#include "client/app/message_dialog.h"
#include "client/app/product_title.h"
#include "client/app/self_update.h"
#include "client/app/start_up_steps.h"
#include "client/framework/app_base.h"
#include "client/framework/dpi.h"
#include "client/framework/resource_module.h"
#include "client/framework/status_refresh_window.h"
#include "client/local/service_switch.h"
#include "client/local/settings.h"
#include "client/monitor/status_refresh.h"
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

// The skin's icon at the size the system uses for big or small icons at the window's DPI.
UniqueIcon LoadSkinIcon(HWND window, bool small) {
  const int size = SystemMetricForDpi(small ? SM_CXSMICON : SM_CXICON, WindowDpi(window));
  return UniqueIcon(static_cast<HICON>(
      ::LoadImageW(nullptr, L"skin\\QuorinFree.ico", IMAGE_ICON, size, size, LR_LOADFROMFILE)));
}

}  // namespace

CQuorinFreeDlg::CQuorinFreeDlg() : CDialogBase(IDD_QUORINFREE_DIALOG) {}

CQuorinFreeDlg::~CQuorinFreeDlg() {
  // The window goes before the icons and the bitmap it shows.
  DestroyWindow();
}

bool CQuorinFreeDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  Settings& settings = ProcessSettings();
  const std::string title = ProductTitle();

  settingsBitmap_.reset(::LoadBitmapW(ResourceModule(), MAKEINTRESOURCEW(IDB_SETTINGS)));
  if (const HMENU menu = ::GetMenu(hwnd())) {
    if (const HMENU first = ::GetSubMenu(menu, 0)) {
      ::SetMenuItemBitmaps(first, 0, MF_BYPOSITION, settingsBitmap_.get(), settingsBitmap_.get());
    }
  }

  SetCaption(title);
  if (!settings.ErpVariant())
    SetItemText(IDC_LINK, LoadResourceText(kRegisterLinkText));

  SetWindowIcons();
  MarkClientWindow(hwnd(), title);

  ShowLoginView(true);
  RouteStatusRefreshTo(hwnd());
  if (CAppBase* app = CAppBase::Current())
    app->SetMainWindow(hwnd());
  Refresh();

  SetCaption(ReadLanguageText("AboutDlg", "about004") + " " + settings.GetCurrentVersion());
  SetMenuTexts();
  return true;
}

void CQuorinFreeDlg::SetWindowIcons() {
  largeIcon_ = LoadSkinIcon(hwnd(), false);
  smallIcon_ = LoadSkinIcon(hwnd(), true);
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.get()));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
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
  if (id == ID_MENU_CHECK_UPDATE) {
    RunSelfUpdate(hwnd());
    return true;
  }
  return false;
}

std::optional<LRESULT> CQuorinFreeDlg::OnMessage(UINT message, WPARAM, LPARAM lParam) {
  if (message == kWmStatusRefresh) {
    Refresh();
    return 0;
  }
  if (message == kWmDpiChanged) {
    // The window moved to a monitor of another DPI: take the size the system suggests and
    // the icons of the new size. The old icons go only after the window shows the new ones.
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    UniqueIcon formerLarge = std::move(largeIcon_);
    UniqueIcon formerSmall = std::move(smallIcon_);
    SetWindowIcons();
    return 0;
  }
  if (message == WM_DESTROY) {
    RouteStatusRefreshTo(nullptr);
    if (CAppBase* app = CAppBase::Current(); app != nullptr && app->MainWindow() == hwnd())
      app->SetMainWindow(nullptr);
    UnmarkClientWindow(hwnd(), ProductTitle());
  }
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
