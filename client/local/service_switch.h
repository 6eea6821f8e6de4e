// Service mode: the outside service program TLDDNSService.exe registers itself as the Windows
// service "TLDDNSService" and removes itself again; the client starts it after every login and
// stops it at exit. The settings dialog's service check box runs the switch below.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace quorin::client {

inline constexpr std::string_view kServiceName = "TLDDNSService";
inline constexpr std::string_view kServiceRegisterCommand = "TLDDNSService.exe -Service";
inline constexpr std::string_view kServiceRemoveCommand = "TLDDNSService.exe -UnRegServer";

// The system operations the switch uses: the platform's by default, fakes in tests.
struct ServiceOperations {
  std::function<int(std::string_view commandLine, bool wait)> runCommand;
  std::function<int(std::string_view name)> queryState;
  std::function<void(std::string_view name)> start;
  std::function<void(std::string_view name)> stop;

  static ServiceOperations System();
};

// The account side: whether the service may be given credentials, and handing them over.
struct ServiceSwitchAccount {
  // True when a login succeeded or the profile file remembers the current account's password
  // (see ServiceCredentialsAvailable).
  std::function<bool()> hasCredentials;
  // Stores the logged-in account's name and password as a remembered entry of the profile
  // file, where the service finds them.
  std::function<void()> rememberAccount;
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
  kInstallFailed,     // the registration left no service behind
  kInstalled,         // registered and started; autostart switched off
  kRemoved,
  kRemoveFailed,  // the service is still there; the box is checked again
};

// Runs the switch after the user has clicked the service box; `boxChecked` is its new state.
// Waits for the service program without a time limit, as its registration must be complete
// before the state can be read.
ServiceSwitchOutcome RunServiceSwitch(
    bool boxChecked, const ServiceSwitchAccount& account, const ServiceSwitchView& view,
    const ServiceOperations& operations = ServiceOperations::System());

// The credential rule: a key from a successful login, or else a profile file with at least one
// entry whose current index is below 10 and names an entry that remembers its password.
// `rememberFlags` holds each entry's remember-password flag in file order.
bool ServiceCredentialsAvailable(bool keyPresent, const std::vector<bool>& rememberFlags,
                                 int currentIndex);

}  // namespace quorin::client
