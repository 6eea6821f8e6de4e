// Service mode: the outside service program TLDDNSService.exe registers itself as the Windows
// service "TLDDNSService" and removes itself again; the client starts it after every login and
// stops it at exit. The settings dialog's service check box runs the switch below.
//
// Registering and removing a service needs an administrator: the switch runs the program with
// administrator rights (one prompt of the system), and the registration, which runs with those
// rights, is also the step that hands the service the account and the settings it may use
// (docs/service-mode.md).
#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/elevated_run.h"

namespace quorin::client {

inline constexpr std::string_view kServiceName = "TLDDNSService";
inline constexpr std::string_view kServiceProgram = "TLDDNSService.exe";
inline constexpr std::string_view kServiceRegisterSwitch = "-Service";
inline constexpr std::string_view kServiceRemoveSwitch = "-UnRegServer";
// How long the switch waits for the service program once the user has approved it. The
// removal stops a running service first and gives it 20 s; the rest is margin.
inline constexpr std::chrono::seconds kServiceProgramLimit{60};

// The system operations the switch uses: the platform's by default, fakes in tests.
struct ServiceOperations {
  // Runs the service program (kServiceProgram, found beside the client) with administrator
  // rights and the given switch, and waits for it up to kServiceProgramLimit. The system's
  // prompt comes up in front of `promptOwner` (a window handle, or null).
  std::function<platform::ElevatedRunResult(std::string_view program, std::string_view arguments,
                                            void* promptOwner)>
      runElevated;
  std::function<int(std::string_view name)> queryState;
  std::function<void(std::string_view name)> start;
  // The window in front of which the system's prompt appears.
  void* promptOwner = nullptr;

  static ServiceOperations System();
};

// The account side: whether the service may be given credentials, and handing them over.
struct ServiceSwitchAccount {
  // True when a login succeeded or the profile file remembers the current account's password
  // (see ServiceCredentialsAvailable).
  std::function<bool()> hasCredentials;
  // Stores the logged-in account's name and password as a remembered entry of the profile
  // file, from where the registration hands them to the service.
  std::function<void()> rememberAccount;
  // Puts the profile file back as it was before rememberAccount, when the registration did not
  // happen after all.
  std::function<void()> restoreAccount;
};

// The settings dialog's side: its service and autostart check boxes and its messages.
struct ServiceSwitchView {
  std::function<void(bool checked)> setServiceBox;
  std::function<void(bool checked)> setAutoStartBox;
  std::function<void(bool enabled)> enableAutoStartBox;
  std::function<void(unsigned textId)> showMessage;  // a resource string, shown to the user
};

enum class ServiceSwitchOutcome {
  kNeedsCredentials,  // nothing was started; the box is unchecked again
  kDeclined,          // the user declined the system's prompt: everything is as it was
  kInstallFailed,     // the registration left no service behind
  kInstalled,         // registered and started; autostart switched off
  kRemoved,
  kRemoveFailed,  // the service is still there; the box is checked again
};

// Runs the switch after the user has clicked the service box; `boxChecked` is its new state.
// Waits for the service program (up to kServiceProgramLimit), as its registration must be
// complete before the state can be read.
ServiceSwitchOutcome RunServiceSwitch(
    bool boxChecked, const ServiceSwitchAccount& account, const ServiceSwitchView& view,
    const ServiceOperations& operations = ServiceOperations::System());

// The credential rule: a key from a successful login, or else a profile file with at least one
// entry whose current index is below 10 and names an entry that remembers its password.
// `rememberFlags` holds each entry's remember-password flag in file order.
bool ServiceCredentialsAvailable(bool keyPresent, const std::vector<bool>& rememberFlags,
                                 int currentIndex);

}  // namespace quorin::client
