// The settings dialog (template 139): the stored options, the dial-up entry to remember, the
// service switch, the update check and the router watcher's switch. It edits its own copy of the
// options and stores them only when closed with OK; the service switch acts at once, since it
// installs or removes a program.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "client/framework/dialog_base.h"
#include "client/local/service_switch.h"
#include "client/local/settings.h"

namespace quorin::client {

// What the dialog asks the system: the platform's by default, fakes in tests.
struct SettingsDialogSources {
  // The dial-up phone book's entry names.
  std::function<std::vector<std::string>()> phoneBook;
  // The service manager and the service program, for the service box and the switch.
  ServiceOperations service;
  // The account the switch hands to the service.
  ServiceSwitchAccount account;

  // The machine's phone book and service manager, the process's record and profile file.
  static SettingsDialogSources System();
};

class CSettingsDlg : public CDialogBase {
 public:
  CSettingsDlg(Settings& settings, SettingsDialogSources sources);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  void OnOK() override;
  void DoDataExchange(DataExchange& exchange) override;

 private:
  void FillDialEntries();
  void ShowChosenEntry();
  void ChooseSelectedEntry();
  void RunSwitch();

  Settings& settings_;
  SettingsDialogSources sources_;
  // The dialog's own copy of the options; the controls write into it on OK.
  ClientSettings options_;
  int serviceBox_ = 0;
  int autoVersionCheck_ = 1;
  int watchRouter_ = 1;
  // Shown only: the configured server address is never written back.
  std::string serverAddress_;
  std::vector<std::string> dialEntries_;
  // The remembered dial-up entry; an index beyond the list stays as it is unless another
  // entry is chosen.
  int chosenEntry_ = 0;
};

// Opens the settings dialog modally over `owner`; returns the dialog's result.
INT_PTR ShowSettingsDialog(HWND owner);

}  // namespace quorin::client
