#include "client/local/service_switch.h"

#include "platform/process_runner.h"
#include "platform/service_control.h"

namespace quorin::client {
namespace {

// Resource strings of the switch's messages.
constexpr unsigned kTextInstalled = 57687;
constexpr unsigned kTextInstallFailed = 57688;
constexpr unsigned kTextRemoved = 57689;
constexpr unsigned kTextRemoveFailed = 57690;
constexpr unsigned kTextNeedsCredentials = 57725;

bool Installed(const ServiceOperations& operations) {
  return operations.queryState(kServiceName) != platform::kServiceNotInstalled;
}

}  // namespace

ServiceOperations ServiceOperations::System() {
  return ServiceOperations{
      [](std::string_view commandLine, bool wait) {
        return platform::RunCommand(commandLine, wait);
      },
      [](std::string_view name) { return platform::QueryServiceState(name); },
      [](std::string_view name) { platform::StartServiceByName(name); },
      [](std::string_view name) { platform::StopServiceByName(name); },
  };
}

ServiceSwitchOutcome RunServiceSwitch(bool boxChecked, const ServiceSwitchAccount& account,
                                      const ServiceSwitchView& view,
                                      const ServiceOperations& operations) {
  if (boxChecked) {
    if (!account.hasCredentials()) {
      view.setServiceBox(false);
      view.showMessage(kTextNeedsCredentials);
      return ServiceSwitchOutcome::kNeedsCredentials;
    }
    operations.runCommand(kServiceRegisterCommand, true);
    if (!Installed(operations)) {
      view.setServiceBox(false);
      view.showMessage(kTextInstallFailed);
      return ServiceSwitchOutcome::kInstallFailed;
    }
    // The service reads the current profile once, when it starts: the account must be in the
    // file before then, or a service started right after a login without a remembered
    // password finds no account and ends until the next boot.
    account.rememberAccount();
    operations.start(kServiceName);
    // The service now keeps the domains updated at every boot; a second copy started at
    // logon would only compete with it.
    view.setAutoStartBox(false);
    view.enableAutoStartBox(false);
    view.showMessage(kTextInstalled);
    return ServiceSwitchOutcome::kInstalled;
  }

  operations.stop(kServiceName);
  operations.runCommand(kServiceRemoveCommand, true);
  if (!Installed(operations)) {
    view.enableAutoStartBox(true);
    view.showMessage(kTextRemoved);
    return ServiceSwitchOutcome::kRemoved;
  }
  view.setServiceBox(true);
  view.showMessage(kTextRemoveFailed);
  return ServiceSwitchOutcome::kRemoveFailed;
}

bool ServiceCredentialsAvailable(bool keyPresent, const std::vector<bool>& rememberFlags,
                                 int currentIndex) {
  if (keyPresent)
    return true;
  if (rememberFlags.empty() || currentIndex < 0 || currentIndex >= 10)
    return false;
  const auto index = static_cast<std::size_t>(currentIndex);
  // An index beyond the entries names no entry: nothing is remembered for it.
  return index < rememberFlags.size() && rememberFlags[index];
}

}  // namespace quorin::client
