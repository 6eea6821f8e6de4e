#include "client/app/quorin_dlg.h"

#include <algorithm>
#include <chrono>

#include "client/app/about_dialog.h"
#include "client/app/client_arguments.h"
#include "client/app/client_clock.h"
#include "client/app/language_file.h"
#include "client/app/log_viewer_dlg.h"
#include "client/app/message_dialog.h"
#include "client/app/product_title.h"
#include "client/app/self_update.h"
#include "client/app/settings_dlg.h"
#include "client/app/start_up_steps.h"
#include "client/app/tray_icon.h"
#include "client/app/tray_menu.h"
#include "client/app/web_links.h"
#include "client/framework/app_base.h"
#include "client/framework/dpi.h"
#include "client/framework/resource_module.h"
#include "client/framework/status_refresh_window.h"
#include "client/local/service_switch.h"
#include "client/local/settings.h"
#include "client/monitor/status_refresh.h"
#include "client/protocol/account_requests.h"
#include "client/protocol/request_environment.h"
#include "client/record/account_key.h"
#include "client/record/client_context.h"
#include "client/texts/string_table.h"
#include "platform/bounded_call.h"
#include "platform/resume_watcher.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

// The window's timers.
constexpr UINT_PTR kHideTimer = 1;
constexpr UINT_PTR kLoginRetryTimer = 2;
constexpr UINT_PTR kTrayRetryTimer = 10;
constexpr UINT_PTR kExitDeadlineTimer = 11;
constexpr UINT kLoginRetryMs = 30000;
constexpr UINT kTrayRetryMs = 1000;

// How long the exit waits for its final save (real time: a save cut short by a scaled clock
// would be lost). Past it the save's request is stopped and the program ends.
constexpr UINT kFinalSaveDeadlineMs = 10000;
// How long the program, its window gone, still waits for the service's stop to be sent.
constexpr auto kServiceStopWait = std::chrono::milliseconds(2000);

// The system command of the window menu's about item.
constexpr UINT kAboutSystemCommand = 0x10;

// The domain grid: rows of 24 pixels at 96 DPI, from 35 per cent of the client height down to
// 2 pixels inside the other edges.
constexpr int kGridRowHeight = 24;
constexpr int kGridTopPercent = 35;
constexpr int kGridMargin = 2;

// The skin's icon at the size the system uses for big or small icons at the window's DPI.
UniqueIcon LoadSkinIcon(HWND window, bool small) {
  const int size = SystemMetricForDpi(small ? SM_CXSMICON : SM_CXICON, WindowDpi(window));
  return UniqueIcon(static_cast<HICON>(
      ::LoadImageW(nullptr, L"skin\\QuorinFree.ico", IMAGE_ICON, size, size, LR_LOADFROMFILE)));
}

}  // namespace

CQuorinFreeDlg::CQuorinFreeDlg()
    : CDialogBase(IDD_QUORINFREE_DIALOG),
      taskbarCreatedMessage_(::RegisterWindowMessageW(L"TaskbarCreated")) {}

CQuorinFreeDlg::~CQuorinFreeDlg() {
  // The window goes before the icons and bitmaps it shows.
  DestroyWindow();
  // The exit asked for the service's stop while its final save ran; a manager that takes
  // longer than this is left to finish with the process.
  services_.WaitUntilDone(kServiceStopWait);
}

bool CQuorinFreeDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  Settings& settings = ProcessSettings();

  sessionNotificationsFailed_ = !sessions_.Register(hwnd());
  AttachBitmaps();

  const std::string title = ProductTitle();
  SetCaption(title);
  if (!settings.ErpVariant())
    SetItemText(IDC_LINK, LoadResourceText(IDS_REGISTER_LINK));
  SetWindowIcons();
  MarkClientWindow(hwnd(), title);

  if (!CreateDomainGrid()) {
    // Without its grid the window cannot show an account's domains, and a hidden window
    // without a tray icon would leave a process the user cannot reach: say so and end.
    ClientMessageBox(LoadResourceText(IDS_GRID_FAILED), kMessageOk, false, {}, 0, nullptr);
    EndDialog(0);
    return false;
  }

  const ClientArguments arguments = ParseClientArguments(ProcessArguments());
  silentUser_ = arguments.silentUser;
  silentPassword_ = arguments.silentPassword;

  // From here on the monitor's refresh requests and messages reach this window.
  RouteStatusRefreshTo(hwnd());
  SetProcessMessageSink([](std::string_view message) { ClientMessageBox(message); });
  if (CAppBase* app = CAppBase::Current())
    app->SetMainWindow(hwnd());

  Refresh();
  if (!Silent())
    AddIcon();

  GetClientContext();
  const ClientSettings values = settings.ReadClientSettings();
  if (Silent() || values.autoLogin || values.runAsService)
    loginStartedAtInit_ = StartLogin();

  SetCaption(AboutCaption());
  RecordGeometry();

  if (Silent() || values.autoMinimize) {
    ::ShowWindow(hwnd(), SW_HIDE);
    ::SetTimer(hwnd(), kHideTimer, 1, nullptr);
  }
  if (Silent()) {
    ::SetWindowPos(hwnd(), nullptr, -1000, -1000, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    RunDesktopSwitch();
  }
  SetMenuTexts();
  AppendAboutToSystemMenu();
  return true;
}

void CQuorinFreeDlg::AttachBitmaps() {
  const int ids[4] = {IDB_SHOW_WINDOW, IDB_SETTINGS, IDB_WEB, IDB_KEY};
  for (int i = 0; i < 4; ++i)
    bitmaps_[i].reset(::LoadBitmapW(ResourceModule(), MAKEINTRESOURCEW(ids[i])));
  if (const HMENU menu = ::GetMenu(hwnd())) {
    if (const HMENU first = ::GetSubMenu(menu, 0))
      ::SetMenuItemBitmaps(first, 0, MF_BYPOSITION, bitmaps_[1].get(), bitmaps_[1].get());
  }
}

void CQuorinFreeDlg::SetWindowIcons() {
  largeIcon_ = LoadSkinIcon(hwnd(), false);
  smallIcon_ = LoadSkinIcon(hwnd(), true);
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.get()));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

bool CQuorinFreeDlg::CreateDomainGrid() {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const int height = client.bottom - client.top;
  const RECT area{client.left + kGridMargin, height * kGridTopPercent / 100,
                  client.right - kGridMargin, client.bottom - kGridMargin};
  if (!grid_.Create(WS_VISIBLE, area, hwnd(), kGridRowHeight, IDC_DOMAIN_GRID))
    return false;
  // The grid chooses its own font for its DPI; the dialog's goes to the frame.
  ::SendMessageW(grid_.hwnd(), WM_SETFONT, ::SendMessageW(hwnd(), WM_GETFONT, 0, 0), FALSE);
  return true;
}

void CQuorinFreeDlg::RecordGeometry() {
  RECT frame{};
  ::GetWindowRect(hwnd(), &frame);
  normalWidth_ = frame.right - frame.left;
  normalHeight_ = frame.bottom - frame.top;
}

std::string CQuorinFreeDlg::AboutCaption() const {
  return ReadLanguageText("AboutDlg", "about004") + " " + ProcessSettings().GetCurrentVersion();
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

void CQuorinFreeDlg::AppendAboutToSystemMenu() {
  const HMENU system = ::GetSystemMenu(hwnd(), FALSE);
  if (system == nullptr)
    return;
  const std::wstring text = platform::WideFromUtf8(ReadLanguageText("Menu", "AboutMenu"));
  ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(system, MF_STRING, kAboutSystemCommand, text.c_str());
}

void CQuorinFreeDlg::ShowAboutBox() {
  // The tray icon still answers while the box is open: a second request finds the first box.
  if (aboutOpen_)
    return;
  aboutOpen_ = true;
  CAboutDlg about;
  about.DoModal(hwnd());
  aboutOpen_ = false;
}

bool CQuorinFreeDlg::OnLinkCommand(int id) {
  switch (id) {
    case ID_MENU_REGISTER_GUIDE:
      OpenLanguageLink("regguide");
      return true;
    case ID_MENU_LINK5:
    case ID_MENU_PROVIDER_SITE:
      OpenLanguageLink("siteurl");
      return true;
    case ID_MENU_LINK6:
      OpenLanguageLink("mirkaurl");
      return true;
    case ID_MENU_LINK7:
      OpenLanguageLink("dorn5url");
      return true;
    case ID_MENU_DOMAINS:
      OpenLanguageLink("domainurl");
      return true;
    case ID_MENU_HELP_FRIEND:
      OpenLanguageLink("helpfriend");
      return true;
    case ID_MENU_SUGGEST:
      OpenLanguageLink("suggest");
      return true;
    case ID_MENU_HELP_FILE:
      OpenHelpFile();
      return true;
    case IDC_LINK:
      OpenLinkButtonTarget();
      return true;
    default:
      return false;
  }
}

bool CQuorinFreeDlg::OnCommand(int id, int notifyCode, HWND control) {
  // Menu commands (the tray's among them) come without a control and reach the window even
  // while it is disabled: they must not open a second dialog, log out or exit behind the
  // dialog, job or download the user is in.
  if (control == nullptr && (exitState_ != ExitState::kNone || Disabled())) {
    if (exitState_ == ExitState::kNone)
      BringActivePopupToFront();
    return true;
  }
  if (OnLinkCommand(id))
    return true;
  switch (id) {
    case IDC_OPEN_ABOUT:
    case ID_MENU_ABOUT:
      ShowAboutBox();
      return true;
    case IDC_EXIT:
    case ID_MENU_EXIT:
    case ID_MENU_TRAY_EXIT:
      Exit();
      return true;
    case IDC_OPEN_SETTINGS:
    case ID_MENU_SETTINGS:
      ShowSettingsDialog(hwnd());
      return true;
    case IDC_OPEN_LOG:
    case ID_MENU_LOG:
      ShowLogViewer(hwnd());
      return true;
    case ID_MENU_CHECK_UPDATE: {
      SelfUpdateSteps steps;
      const HWND window = hwnd();
      steps.removeTrayIcon = [window] { RemoveTrayIcon(window); };
      RunSelfUpdate(window, steps);
      return true;
    }
    case IDC_LOGOUT:
    case ID_MENU_LOGOUT:
      Logout();
      return true;
    case IDC_LOGIN:
      StartLogin();
      return true;
    case IDC_REFRESH_DOMAINS:
      RefreshDomains();
      return true;
    case IDC_SAVE_CHANGES:
      SaveChanges();
      return true;
    case IDC_SELECT_ALL:
      SelectAll();
      return true;
    case ID_MENU_SHOW:
      OpenMainWindow();
      return true;
    case IDC_ACCOUNT_NAME:
      if (notifyCode == CBN_SELCHANGE) {
        const LRESULT index = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
        const LRESULT length = ::SendMessageW(control, CB_GETLBTEXTLEN, index, 0);
        if (index == CB_ERR || length == CB_ERR)
          return true;
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        ::SendMessageW(control, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        LookUpProfile(platform::Utf8FromWide(text));
        return true;
      }
      if (notifyCode == CBN_EDITCHANGE) {
        LookUpProfile(ItemText(IDC_ACCOUNT_NAME));
        return true;
      }
      return false;
    default:
      return false;
  }
}

std::optional<LRESULT> CQuorinFreeDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // What the tray code does with the window comes before the dialog's own handling.
  if (const auto handled = OnWindowProcedureMessage(message, wParam, lParam))
    return handled;
  switch (message) {
    case kWmStatusRefresh:
      Refresh();
      return 0;
    case kJobDoneMessage:
      job_.Complete();
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_NCPAINT:
      // The window starts hidden: its first two frame paints hide it instead.
      if (hideOnFramePaint_ > 0) {
        --hideOnFramePaint_;
        ::ShowWindow(hwnd(), SW_HIDE);
        return 0;
      }
      return std::nullopt;
    case WM_PAINT:
      if (::IsIconic(hwnd())) {
        PaintMinimised();
        return 0;
      }
      return std::nullopt;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(largeIcon_.get());
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      return std::nullopt;
    case WM_POWERBROADCAST:
      // Sent to every top-level window, hidden ones too. After a sleep the public address has
      // often changed; the monitor looks at once instead of finishing a minute that began
      // before the sleep.
      if (wParam == PBT_APMRESUMEAUTOMATIC)
        platform::AnnounceResume();
      return TRUE;
    case kSessionChangeMessage:
      if (wParam == kSessionLogon)
        RunDesktopSwitch();
      return 0;
    case kWmDpiChanged: {
      // The window moved to a monitor of another DPI: take the size the system suggests, the
      // icons and the grid's font of the new size.
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      const bool parked = Parked();
      ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      UniqueIcon formerLarge = std::move(largeIcon_);
      UniqueIcon formerSmall = std::move(smallIcon_);
      SetWindowIcons();
      grid_.UpdateForDpi();
      if (!parked) {
        normalWidth_ = suggested->right - suggested->left;
        normalHeight_ = suggested->bottom - suggested->top;
      }
      return 0;
    }
    case WM_DESTROY:
      OnDestroy();
      return std::nullopt;
    default:
      break;
  }
  if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
    OnTaskbarCreated();
    return 0;
  }
  return std::nullopt;
}

void CQuorinFreeDlg::OnTaskbarCreated() {
  // With session notifications the logon itself runs the switch.
  if (sessionNotificationsFailed_)
    RunDesktopSwitch();
  // The new taskbar knows nothing of the icon: without it a hidden window could no longer be
  // reached. A failed add is tried again each second, as after a desktop switch.
  if (hasTrayIcon_ && !AddIcon())
    ::SetTimer(hwnd(), kTrayRetryTimer, ClientTimerPeriod(kTrayRetryMs), nullptr);
}

bool CQuorinFreeDlg::AddIcon() {
  if (!AddTrayIcon(hwnd()))
    return false;
  hasTrayIcon_ = true;
  return true;
}

void CQuorinFreeDlg::RemoveIcon() {
  RemoveTrayIcon(hwnd());
  hasTrayIcon_ = false;
}

std::optional<LRESULT> CQuorinFreeDlg::OnWindowProcedureMessage(UINT message, WPARAM wParam,
                                                                LPARAM lParam) {
  if (message == WM_CLOSE) {
    ::ShowWindow(hwnd(), SW_HIDE);
    return 0;
  }
  if (message == WM_SYSCOMMAND) {
    const UINT command = static_cast<UINT>(wParam & 0xFFF0);
    if (command == SC_MINIMIZE || command == SC_CLOSE) {
      ::ShowWindow(hwnd(), SW_HIDE);
      return 0;
    }
    if (command == kAboutSystemCommand) {
      ShowAboutBox();
      return 0;
    }
    return std::nullopt;
  }
  if (message == kTrayCallbackMessage) {
    OnTrayCallback(lParam);
    return 0;
  }
  return std::nullopt;
}

void CQuorinFreeDlg::OnTrayCallback(LPARAM mouseMessage) {
  const bool leftClick = mouseMessage == WM_LBUTTONDOWN || mouseMessage == WM_LBUTTONDBLCLK;
  if (!leftClick && mouseMessage != WM_RBUTTONDOWN)
    return;
  if (Disabled()) {
    BringActivePopupToFront();
    return;
  }
  if (leftClick)
    OpenMainWindow();
  else
    ShowTrayMenu(hwnd(), {bitmaps_[0].get(), bitmaps_[1].get(), bitmaps_[2].get()});
}

void CQuorinFreeDlg::OpenMainWindow() {
  // The frame-paint hiding keeps the window from flashing while it starts hidden; a show the
  // user asked for is not to be swallowed by it.
  hideOnFramePaint_ = 0;
  ::KillTimer(hwnd(), kHideTimer);
  if (Parked() || (!firstShowDone_ && !::IsWindowVisible(hwnd()))) {
    // Centred on the work area of the screen the user clicked on (the taskbar's), at the
    // window's own size: a silent start parked it off the screen at no size at all.
    POINT cursor{};
    ::GetCursorPos(&cursor);
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor))
      work = monitor.rcWork;
    const int workWidth = static_cast<int>(work.right - work.left);
    const int workHeight = static_cast<int>(work.bottom - work.top);
    const int left = static_cast<int>(work.left) + std::max(0, (workWidth - normalWidth_) / 2);
    const int top = static_cast<int>(work.top) + std::max(0, (workHeight - normalHeight_) / 2);
    ::SetWindowPos(hwnd(), nullptr, left, top, normalWidth_, normalHeight_,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  firstShowDone_ = true;
  ::ShowWindow(hwnd(), ::IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
  ::SetForegroundWindow(hwnd());
}

bool CQuorinFreeDlg::Parked() const {
  RECT frame{};
  ::GetWindowRect(hwnd(), &frame);
  return frame.right - frame.left < normalWidth_ || frame.bottom - frame.top < normalHeight_ ||
         ::MonitorFromRect(&frame, MONITOR_DEFAULTTONULL) == nullptr;
}

namespace {

struct OwnedPopupSearch {
  HWND owner = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK FindOwnedPopup(HWND window, LPARAM search) {
  auto* state = reinterpret_cast<OwnedPopupSearch*>(search);
  if (::GetWindow(window, GW_OWNER) == state->owner && ::IsWindowVisible(window) &&
      ::IsWindowEnabled(window)) {
    state->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void CQuorinFreeDlg::BringActivePopupToFront() {
  HWND popup = ::GetLastActivePopup(hwnd());
  if (popup == hwnd() || popup == nullptr) {
    // A pop-up that never was active (it opened while another program had the focus) is not
    // known as the last active one; the window's thread still shows it.
    OwnedPopupSearch search{hwnd(), nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindOwnedPopup, reinterpret_cast<LPARAM>(&search));
    popup = search.found;
  }
  if (popup != nullptr && popup != hwnd() && ::IsWindowVisible(popup)) {
    ::SetForegroundWindow(popup);
    return;
  }
  // A job has no pop-up of its own: the busy window with its status line comes forward.
  OpenMainWindow();
}

void CQuorinFreeDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kHideTimer:
      ::KillTimer(hwnd(), kHideTimer);
      ::ShowWindow(hwnd(), SW_HIDE);
      break;
    case kLoginRetryTimer:
      ::KillTimer(hwnd(), kLoginRetryTimer);
      if (exitState_ != ExitState::kNone)
        break;
      // Another job (a save) may still run, or a modal dialog is open, whose end would enable
      // the window under a login's wait: then the next period tries again.
      if (Disabled() || (!StartLogin() && job_.Running()))
        ::SetTimer(hwnd(), kLoginRetryTimer, ClientTimerPeriod(kLoginRetryMs), nullptr);
      break;
    case kTrayRetryTimer:
      if (!AddIcon())
        break;  // the next tick tries again
      if (trayRetryOpensAdvertisement_ && Silent())
        silentAdvertisementDue_ = true;
      trayRetryOpensAdvertisement_ = false;
      OpenSilentAdvertisementWhenReady();
      ::KillTimer(hwnd(), kTrayRetryTimer);
      desktopSwitch_.End();
      break;
    case kExitDeadlineTimer:
      FinishExit();
      break;
    default:
      break;
  }
}

void CQuorinFreeDlg::RunDesktopSwitch() {
  if (desktopSwitch_.Begin()) {
    trayRetryOpensAdvertisement_ = true;
    ::SetTimer(hwnd(), kTrayRetryTimer, ClientTimerPeriod(kTrayRetryMs), nullptr);
  }
}

void CQuorinFreeDlg::PaintMinimised() {
  PAINTSTRUCT paint{};
  const HDC dc = ::BeginPaint(hwnd(), &paint);
  ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int width = ::GetSystemMetrics(SM_CXICON);
  const int height = ::GetSystemMetrics(SM_CYICON);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  ::DrawIcon(dc, (client.right - width + 1) / 2, (client.bottom - height + 1) / 2,
             largeIcon_.get());
  ::EndPaint(hwnd(), &paint);
}

void CQuorinFreeDlg::OnDestroy() {
  reportErrors_ = false;
  if (exitState_ == ExitState::kNone) {
    // Destroyed without the exit command (a start that failed): the final save still goes out,
    // on a worker and for at most its deadline, and shows no message.
    exitState_ = ExitState::kDone;
    WriteGridToRecord();
    const auto answered =
        platform::CallWithin<bool>(std::chrono::milliseconds(kFinalSaveDeadlineMs), [] {
          std::string message;
          return SaveDomainChange(message, true, true);
        });
    if (!answered)
      StopProcessRequests();
  }
  // The program ends with this window. A login or domain refresh still waiting on a server
  // is stopped, so its worker is joined within moments rather than after every login server's
  // time-out, and it asks no further server on its way out.
  if (job_.Running())
    StopProcessRequests();
  RemoveIcon();
  sessions_.Unregister();
  ::KillTimer(hwnd(), kLoginRetryTimer);
  ::KillTimer(hwnd(), kTrayRetryTimer);
  ::KillTimer(hwnd(), kExitDeadlineTimer);
  desktopSwitch_.End();
  RouteStatusRefreshTo(nullptr);
  SetProcessMessageSink({});
  if (CAppBase* app = CAppBase::Current(); app != nullptr && app->MainWindow() == hwnd())
    app->SetMainWindow(nullptr);
  UnmarkClientWindow(hwnd(), ProductTitle());
}

void CQuorinFreeDlg::Exit() {
  if (ClientMessageBox(LoadResourceText(text_id::kConfirmExit), kMessageOk, false, {}, 0, hwnd()) !=
      IDOK) {
    return;
  }
  BeginExit();
}

void CQuorinFreeDlg::BeginExit() {
  if (exitState_ != ExitState::kNone)
    return;
  exitState_ = ExitState::kSaving;
  reportErrors_ = false;
  RemoveIcon();
  ::ShowWindow(hwnd(), SW_HIDE);
  // The service manager may take its time over the stop: it is asked on a worker, beside the
  // final save.
  services_.Request(ServiceCommands::Command::kStop);
  // The window takes no command while a job runs, so none should be running here; one that
  // is has no use any more and ends at once.
  if (job_.Running())
    StopProcessRequests();
  // The final save, silent, on a worker: the window keeps answering while a server takes its
  // time, and the deadline ends the wait.
  WriteGridToRecord();
  const bool started = job_.Start(
      hwnd(), kJobDoneMessage,
      [] {
        std::string message;
        SaveDomainChange(message, true, true);
      },
      [this] { FinishExit(); });
  if (!started) {
    FinishExit();
    return;
  }
  ::SetTimer(hwnd(), kExitDeadlineTimer, kFinalSaveDeadlineMs, nullptr);
}

void CQuorinFreeDlg::FinishExit() {
  if (exitState_ != ExitState::kSaving)
    return;
  exitState_ = ExitState::kDone;
  ::KillTimer(hwnd(), kExitDeadlineTimer);
  // A save still waiting past its deadline, and the monitor's requests, end now, so that the
  // workers joined on the way out end within moments.
  StopProcessRequests();
  EndDialog(1);
}

bool CQuorinFreeDlg::StartJob(unsigned statusTextId, std::function<void()> work,
                              std::function<void()> apply) {
  const bool started = job_.Start(hwnd(), kJobDoneMessage, std::move(work), [this, apply] {
    EndJob();
    apply();
  });
  if (!started)
    return false;
  busy_ = true;
  SetItemText(IDC_STATUS_LINE, LoadResourceText(statusTextId));
  ::EnableWindow(hwnd(), FALSE);
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  return true;
}

void CQuorinFreeDlg::EndJob() {
  busy_ = false;
  ::EnableWindow(hwnd(), TRUE);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  // The status line showed the job's text: the record's own comes back.
  ShowStatusTexts();
}

}  // namespace quorin::client
