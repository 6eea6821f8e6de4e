#include "client/app/settings_dlg.h"

#include <utility>

#include "client/app/message_dialog.h"
#include "client/app/wait_answering.h"
#include "client/framework/resource_module.h"
#include "client/local/profile_file.h"
#include "client/local/service_switch_account.h"
#include "client/record/client_context.h"
#include "platform/phone_book.h"
#include "platform/service_control.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr int kMaxLogLowest = 0;
constexpr int kMaxLogHighest = 500;
// The server address field holds a dotted IPv4 address at most.
constexpr std::size_t kServerAddressLength = 15;
constexpr const char* kNoEntry = "NULL";

}  // namespace

SettingsDialogSources SettingsDialogSources::System() {
  return SettingsDialogSources{
      [] { return platform::PhoneBookEntries(); },
      ServiceOperations::System(),
      ProfileServiceSwitchAccount(GetClientContext(), DefaultProfilePath()),
  };
}

CSettingsDlg::CSettingsDlg(Settings& settings, SettingsDialogSources sources)
    : CDialogBase(IDD_SETTINGS), settings_(settings), sources_(std::move(sources)) {}

bool CSettingsDlg::OnInitDialog() {
  options_ = settings_.ReadClientSettings();
  // The box shows whether the service is there, whatever the stored option says: a service
  // installed by another tool runs anyway.
  serviceBox_ = sources_.service.queryState(kServiceName) != platform::kServiceNotInstalled ? 1 : 0;
  chosenEntry_ = options_.defaultAutoDial;
  serverAddress_ = settings_.ReadServerIp().value_or(std::string());
  autoVersionCheck_ = settings_.AutoVersionCheck() ? 1 : 0;
  watchRouter_ = settings_.WatchRouter() ? 1 : 0;

  ::SendMessageW(Item(IDC_SERVER_ADDRESS), EM_LIMITTEXT, kServerAddressLength, 0);
  CDialogBase::OnInitDialog();

  FillDialEntries();
  ShowChosenEntry();
  // The service starts with the system; a second copy started at logon would compete with it.
  if (serviceBox_ != 0)
    EnableItem(IDC_AUTO_START, false);
  return true;
}

void CSettingsDlg::DoDataExchange(DataExchange& exchange) {
  exchange.Check(IDC_AUTO_START, options_.autoStart);
  exchange.Check(IDC_SERVICE_MODE, serviceBox_);
  exchange.Check(IDC_LOG_ENABLED, options_.logEnabled);
  exchange.Number(IDC_MAX_LOG, options_.maxLog, kMaxLogLowest, kMaxLogHighest);
  exchange.Check(IDC_AUTO_DIAL, options_.autoDial);
  exchange.Check(IDC_AUTO_LOGIN, options_.autoLogin);
  exchange.Check(IDC_AUTO_MINIMIZE, options_.autoMinimize);
  exchange.Check(IDC_AUTO_VERSION_CHECK, autoVersionCheck_);
  exchange.Check(IDC_WATCH_ROUTER, watchRouter_);
  // Shown only: what the user types there is not read back.
  if (!exchange.saving())
    exchange.Text(IDC_SERVER_ADDRESS, serverAddress_, kServerAddressLength);
}

void CSettingsDlg::FillDialEntries() {
  dialEntries_ = sources_.phoneBook ? sources_.phoneBook() : std::vector<std::string>();
  const HWND list = Item(IDC_DIAL_ENTRIES);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : dialEntries_) {
    const std::wstring wide = platform::WideFromUtf8(name);
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
}

void CSettingsDlg::ShowChosenEntry() {
  const bool known =
      chosenEntry_ >= 0 && static_cast<std::size_t>(chosenEntry_) < dialEntries_.size();
  SetItemText(IDC_DIAL_ENTRY_NAME,
              known ? dialEntries_[static_cast<std::size_t>(chosenEntry_)] : kNoEntry);
}

void CSettingsDlg::ChooseSelectedEntry() {
  const LRESULT selected = ::SendMessageW(Item(IDC_DIAL_ENTRIES), LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR || selected < 0 ||
      static_cast<std::size_t>(selected) >= dialEntries_.size()) {
    ClientMessageBox(LoadResourceText(IDS_CHOOSE_DIAL_ENTRY), kMessageOk, false, {}, 0, hwnd());
    return;
  }
  chosenEntry_ = static_cast<int>(selected);
  ShowChosenEntry();
}

void CSettingsDlg::RunSwitch() {
  ServiceSwitchView view;
  view.setServiceBox = [this](bool checked) { SetCheck(IDC_SERVICE_MODE, checked); };
  view.setAutoStartBox = [this](bool checked) { SetCheck(IDC_AUTO_START, checked); };
  view.enableAutoStartBox = [this](bool enabled) { EnableItem(IDC_AUTO_START, enabled); };
  view.showMessage = [this](unsigned textId) {
    ClientMessageBox(LoadResourceText(textId), kMessageOk, false, {}, 0, hwnd());
  };
  // The service program runs with administrator rights: the system's prompt, then the
  // registration, may take a while, and the dialog keeps painting meanwhile.
  ServiceOperations operations = sources_.service;
  operations.promptOwner = hwnd();
  operations.runElevated = [this, run = sources_.service.runElevated](std::string_view program,
                                                                      std::string_view arguments,
                                                                      void* promptOwner) {
    platform::ElevatedRunResult result;
    RunWhileAnswering(hwnd(), [&] { result = run(program, arguments, promptOwner); });
    return result;
  };
  RunServiceSwitch(IsChecked(IDC_SERVICE_MODE), sources_.account, view, operations);
}

bool CSettingsDlg::OnCommand(int id, int notifyCode, HWND) {
  if (notifyCode != BN_CLICKED)
    return false;
  if (id == IDC_CHOOSE_DIAL_ENTRY) {
    ChooseSelectedEntry();
    return true;
  }
  if (id == IDC_SERVICE_MODE) {
    RunSwitch();
    return true;
  }
  return false;
}

void CSettingsDlg::OnOK() {
  // A refused number leaves the dialog open and stores nothing.
  if (!UpdateData(true))
    return;
  options_.runAsService = serviceBox_ != 0 ? 1 : 0;
  options_.defaultAutoDial = chosenEntry_;
  settings_.WriteClientSettings(options_);
  settings_.SetAutoVersionCheck(autoVersionCheck_ != 0);
  settings_.SetWatchRouter(watchRouter_ != 0);
  EndDialog(IDOK);
}

INT_PTR ShowSettingsDialog(HWND owner) {
  CSettingsDlg dialog(ProcessSettings(), SettingsDialogSources::System());
  return dialog.DoModal(owner);
}

}  // namespace quorin::client
