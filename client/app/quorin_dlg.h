// The client's main window (template 102): the login view (account, password, the
// save-password box, the login button) and the logged-in view (the domain grid with the buttons
// to refresh, save and log out), the status lines both views share, the automatic and the
// silent login, the tray icon across desktop and session changes, and the exit.
//
// The login, the domain refresh and the save talk to the provider's servers, which may take
// half a minute to give up; they run on a worker (WindowJob) while the window keeps answering,
// its input disabled and a wait cursor shown, and their results are applied here on the UI
// thread in the order a synchronous run would apply them.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/app/desktop_switch.h"
#include "client/app/session_notifications.h"
#include "client/app/window_job.h"
#include "client/controls/tree_grid.h"
#include "client/framework/dialog_base.h"
#include "client/framework/gdi_objects.h"
#include "client/local/service_commands.h"
#include "client/record/domain_rows.h"

namespace quorin::client {

class CQuorinFreeDlg : public CDialogBase {
 public:
  CQuorinFreeDlg();
  ~CQuorinFreeDlg() override;

  // Shows the record's status texts and the current view again (the status-refresh message,
  // the login, the logout, the domain refresh).
  void Refresh();

  // The silent account of the command line; empty outside silent mode.
  const std::string& silentUser() const { return silentUser_; }
  const std::string& silentPassword() const { return silentPassword_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  // Enter and Escape do nothing: the program ends only through its exit command.
  void OnOK() override {}
  void OnCancel() override {}
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DoDataExchange(DataExchange& exchange) override;

 private:
  // A worker's result waits for the UI thread (private message of this window).
  static constexpr UINT kJobDoneMessage = WM_APP + 0x101;

  bool Silent() const { return !silentUser_.empty() || !silentPassword_.empty(); }

  // Start-up and the window's own messages (quorin_dlg.cpp).
  void AttachBitmaps();
  void SetWindowIcons();
  bool CreateDomainGrid();
  // The window's own size, to which every opening of the window brings it back.
  void RecordGeometry();
  // "about004" of Language.ini and the version: the caption after the start.
  std::string AboutCaption() const;
  void SetMenuTexts();
  std::optional<LRESULT> OnWindowProcedureMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnTrayCallback(LPARAM mouseMessage);
  // Every way of opening the window: shown and brought to the front, and centred on the work
  // area at its normal size when it was never shown or is parked off the screen (a silent
  // start). An explicit show is never taken back by the start-up's frame-paint hiding.
  void OpenMainWindow();
  bool Parked() const;
  // While the window is disabled under a modal dialog, a job or the update's progress window,
  // a command from the tray or a menu only brings that pop-up (or the busy window) forward.
  bool Disabled() const { return !::IsWindowEnabled(hwnd()); }
  void BringActivePopupToFront();
  void AppendAboutToSystemMenu();
  void ShowAboutBox();
  // The web and help commands of the menus and the link button; false for other commands.
  bool OnLinkCommand(int id);
  // Adds the tray icon and remembers that the client has one; RemoveIcon forgets it.
  bool AddIcon();
  void RemoveIcon();
  void OnTaskbarCreated();
  void OnTimer(UINT_PTR id);
  void OnDestroy();
  void PaintMinimised();
  void Exit();
  // After the exit's confirmation: the final save and the service's stop run on workers while
  // the window keeps answering; FinishExit ends the dialog once the save is answered or its
  // deadline has passed.
  void BeginExit();
  void FinishExit();
  void RunDesktopSwitch();
  // The record's placeholders in the interface language.
  void ShowStatusTexts();

  // Worker jobs: the window is disabled with a wait cursor and `statusTextId` in the status
  // line until the result has been applied.
  bool StartJob(unsigned statusTextId, std::function<void()> work, std::function<void()> apply);
  void EndJob();

  // The account (main_dialog_account.cpp).
  bool StartLogin();
  void FinishLogin(bool ok, const std::string& message, const std::string& userName,
                   const std::string& password, int savePassword);
  void Logout();
  void LookUpProfile(const std::string& userName);
  void StartAdvertisement();
  // A silent start opens the advertisement once both its tray icon is in place and its login
  // has succeeded, whichever comes last.
  void OpenSilentAdvertisementWhenReady();

  // The views and the domains (main_dialog_domains.cpp).
  void ShowLoginView(bool loginView);
  void FillAccountList();
  void ShowDomains(bool force);
  std::vector<HostRowEdit> ReadHostRows() const;
  void SelectAll();
  void RefreshDomains();
  // Writes the grid into the record and sends the changes: on a worker, or at once while the
  // window is being destroyed (the final, silent save).
  void SaveChanges();
  void SaveChangesNow();
  // After a save: a free account's marks cleared when it succeeded (a failed save keeps them,
  // so the change is sent again), a VIP account's confirmation started, the failure shown.
  void FinishSave(bool ok, const std::string& message, bool free);
  bool WriteGridToRecord();

  // Bound to the controls (DoDataExchange).
  int selectAll_ = 0;
  int savePassword_ = 0;
  std::string accountName_;
  std::string password_;

  bool resendAll_ = true;
  bool loginView_ = true;
  // The view changed (start, login, logout, domain refresh): the next refresh fills it anew.
  bool viewStale_ = true;
  bool reportErrors_ = true;
  int hideOnFramePaint_ = 2;
  bool sessionNotificationsFailed_ = true;
  bool firstShowDone_ = false;
  // The client has (or had, until the taskbar restarted) its icon in the notification area.
  bool hasTrayIcon_ = false;
  // The tray retry of a desktop switch opens the advertisement of a silent start once the icon
  // is there; a retry after a taskbar restart does not.
  bool trayRetryOpensAdvertisement_ = false;
  bool silentAdvertisementDue_ = false;
  // The login started by the initialisation: its success takes the about box's caption, as
  // the window has after a start that logged in at once.
  bool loginStartedAtInit_ = false;
  // The exit: not asked for, waiting for the final save, or over.
  enum class ExitState { kNone, kSaving, kDone };
  ExitState exitState_ = ExitState::kNone;
  bool aboutOpen_ = false;
  UINT taskbarCreatedMessage_ = 0;

  // The window's own size at initialisation (or after a change of DPI), before any parking.
  int normalWidth_ = 0;
  int normalHeight_ = 0;

  std::string silentUser_;
  std::string silentPassword_;

  // What the grid shows, to rebuild it only when the record's domains changed: a refresh of
  // the status lines keeps the edits the user has not saved yet.
  std::vector<std::string> shownDomains_;

  UniqueBitmap bitmaps_[4];
  UniqueIcon largeIcon_;
  UniqueIcon smallIcon_;
  CTreeGrid grid_;
  SessionNotifications sessions_;
  DesktopSwitch desktopSwitch_;
  WindowJob job_;
  ServiceCommands services_;
  bool busy_ = false;
};

}  // namespace quorin::client
