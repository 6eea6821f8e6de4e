// The main window's account side: the login with its checks, the profile it stores, the
// monitoring, the advertisement and the service it starts; the logout; the profile lookup of
// the account box.
#include <memory>
#include <thread>

#include "client/app/client_clock.h"
#include "client/app/message_dialog.h"
#include "client/app/product_title.h"
#include "client/app/quorin_dlg.h"
#include "client/app/shell_open.h"
#include "client/framework/resource_module.h"
#include "client/local/profile_file.h"
#include "client/local/service_switch.h"
#include "client/local/settings.h"
#include "client/monitor/account_credentials.h"
#include "client/monitor/advertisement.h"
#include "client/monitor/monitor_wiring.h"
#include "client/protocol/login.h"
#include "client/record/account_key.h"
#include "client/record/client_context.h"
#include "client/texts/string_table.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr UINT_PTR kLoginRetryTimer = 2;
constexpr UINT kLoginRetryMs = 30000;

// The monitor's texts for the whole life of the process (the monitors keep a reference).
const StringTable& MonitorStrings() {
  static const ResourceStringTable strings;
  return strings;
}

struct LoginOutcome {
  bool ok = false;
  std::string message;
};

}  // namespace

void CQuorinFreeDlg::DoDataExchange(DataExchange& exchange) {
  exchange.Check(IDC_SELECT_ALL, selectAll_);
  exchange.Check(IDC_SAVE_PASSWORD, savePassword_);
  exchange.Text(IDC_ACCOUNT_NAME, accountName_, kMaxUserNameLength);
  exchange.Text(IDC_PASSWORD, password_, kMaxPasswordLength);
}

bool CQuorinFreeDlg::StartLogin() {
  if (job_.Running())
    return false;  // a login (or another job) is under way: one at a time
  UpdateData(true);
  if (Silent()) {
    accountName_ = silentUser_;
    password_ = silentPassword_;
  }
  if (accountName_.empty()) {
    ClientMessageBox(LoadResourceText(IDS_ENTER_ACCOUNT_NAME), kMessageOk, false, {}, 0, hwnd());
    ::SetFocus(Item(IDC_ACCOUNT_NAME));
    return false;
  }
  if (password_.empty()) {
    ClientMessageBox(LoadResourceText(IDS_ENTER_PASSWORD), kMessageOk, false, {}, 0, hwnd());
    ::SetFocus(Item(IDC_PASSWORD));
    return false;
  }
  auto outcome = std::make_shared<LoginOutcome>();
  const std::string userName = accountName_;
  const std::string password = password_;
  const int savePassword = savePassword_;
  return StartJob(
      IDS_CONNECTING,
      [outcome, userName, password] { outcome->ok = Login(userName, password, outcome->message); },
      [this, outcome, userName, password, savePassword] {
        FinishLogin(outcome->ok, outcome->message, userName, password, savePassword);
      });
}

void CQuorinFreeDlg::FinishLogin(bool ok, const std::string& message, const std::string& userName,
                                 const std::string& password, int savePassword) {
  const std::string profilePath = DefaultProfilePath();
  UserProfile profile;
  if (auto found = FindProfile(profilePath, userName)) {
    profile = *found;
  } else {
    profile.userName = userName;
    profile.password = "";
    profile.savePassword = 0;
  }

  const bool startedAtInit = loginStartedAtInit_;
  loginStartedAtInit_ = false;
  if (!ok) {
    if (!Silent())
      ClientMessageBox(message, kMessageOk, false, {}, 0, hwnd());
    else
      ::SetTimer(hwnd(), kLoginRetryTimer, ClientTimerPeriod(kLoginRetryMs), nullptr);
    return;
  }

  ClientContext& context = GetClientContext();
  ::KillTimer(hwnd(), kLoginRetryTimer);
  const unsigned kind = IsFreeAccount(context) ? IDS_FREE_ACCOUNT : IDS_VIP_ACCOUNT;
  SetCaption(ProductTitle() + "(" + LoadResourceText(kind) + ")");
  // A login that the start itself made ends, as the start does, with the about box's caption.
  if (startedAtInit)
    SetCaption(AboutCaption());

  profile.savePassword = savePassword;
  if (savePassword != 0)
    profile.password = password;

  loginView_ = false;
  viewStale_ = true;
  Refresh();
  StartProcessMonitoring(MonitorStrings());
  if (!Silent() && ShowsAdvertisement(context))
    StartAdvertisement();
  if (Silent())
    OpenSilentAdvertisementWhenReady();

  // The profile is on disk before the service starts, so the service finds this account.
  SaveProfile(profilePath, profile, true);
  services_.Request(ServiceCommands::Command::kStart);
}

void CQuorinFreeDlg::OpenSilentAdvertisementWhenReady() {
  if (!silentAdvertisementDue_ || loginView_)
    return;  // the icon is not there yet, or the login has not succeeded yet
  silentAdvertisementDue_ = false;
  if (ShowsAdvertisement(GetClientContext()))
    StartAdvertisement();
}

void CQuorinFreeDlg::StartAdvertisement() {
  // The address is read here; the thread only shows the page. The page is modal and may stay
  // open as long as the user likes, so nobody waits for the thread: it ends with its dialog
  // or with the process.
  const std::string address =
      AdvertisementAddress(ReadCredentials(GetClientContext()), ProcessSettings());
  try {
    std::thread([address] { ShowHtmlPageOf(address); }).detach();
  } catch (const std::system_error&) {
    // No thread: no page. The advertisement is not worth a message.
  }
}

void CQuorinFreeDlg::Logout() {
  if (job_.Running())
    return;  // the login under way would log in again behind the logout
  quorin::client::Logout();
  loginView_ = true;
  resendAll_ = true;
  viewStale_ = true;
  Refresh();
}

void CQuorinFreeDlg::LookUpProfile(const std::string& userName) {
  const auto profile = FindProfile(DefaultProfilePath(), userName);
  if (!profile)
    return;
  // Only the password side is written: writing the name box while the user types in it would
  // put the caret back to its start.
  savePassword_ = profile->savePassword;
  SetCheck(IDC_SAVE_PASSWORD, savePassword_ != 0);
  if (profile->savePassword != 0) {
    password_ = profile->password.str();
    SetItemText(IDC_PASSWORD, password_);
  }
}

}  // namespace quorin::client
