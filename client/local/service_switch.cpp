#include "client/local/service_switch.h"

#include "platform/service_control.h"

namespace quorin::client {
namespace {

// Resource strings of the switch's messages.
constexpr unsigned kTextInstalled = 57687;
constexpr unsigned kTextInstallFailed = 57688;
constexpr unsigned kTextRemoved = 57689;
constexpr unsigned kTextRemoveFailed = 57690;
constexpr unsigned kTextNeedsCredentials = 57725;
constexpr unsigned kTextDeclined = 57740;

bool Installed(const ServiceOperations& operations) {
  return operations.queryState(kServiceName) != platform::kServiceNotInstalled;
}

bool Declined(const platform::ElevatedRunResult& result) {
  return result.status == platform::ElevatedRunStatus::kDeclined;
}

ServiceSwitchOutcome SwitchOn(const ServiceSwitchAccount& account, const ServiceSwitchView& view,
                              const ServiceOperations& operations) {
  if (!account.hasCredentials()) {
    view.setServiceBox(false);
    view.showMessage(kTextNeedsCredentials);
    return ServiceSwitchOutcome::kNeedsCredentials;
  }
  // The registration takes the account from the profile file the user sees, so it must be
  // there first; the file goes back as it was when no service comes of it.
  account.rememberAccount();
  const platform::ElevatedRunResult result =
      operations.runElevated(kServiceProgram, kServiceRegisterSwitch, operations.promptOwner);
  if (Declined(result)) {
    account.restoreAccount();
    view.setServiceBox(false);
    view.showMessage(kTextDeclined);
    return ServiceSwitchOutcome::kDeclined;
  }
  if (!Installed(operations)) {
    account.restoreAccount();
    view.setServiceBox(false);
    view.showMessage(kTextInstallFailed);
    return ServiceSwitchOutcome::kInstallFailed;
  }
  operations.start(kServiceName);
  // The service now keeps the domains updated at every boot; a second copy started at
  // logon would only compete with it.
  view.setAutoStartBox(false);
  view.enableAutoStartBox(false);
  view.showMessage(kTextInstalled);
  return ServiceSwitchOutcome::kInstalled;
}

ServiceSwitchOutcome SwitchOff(const ServiceSwitchView& view, const ServiceOperations& operations) {
  // The removal program stops the service itself before it removes it. Stopping it from here
  // first would leave it stopped when the user declines the prompt.
  const platform::ElevatedRunResult result =
      operations.runElevated(kServiceProgram, kServiceRemoveSwitch, operations.promptOwner);
  if (Declined(result)) {
    view.setServiceBox(true);
    view.showMessage(kTextDeclined);
    return ServiceSwitchOutcome::kDeclined;
  }
  if (!Installed(operations)) {
    view.enableAutoStartBox(true);
    view.showMessage(kTextRemoved);
    return ServiceSwitchOutcome::kRemoved;
  }
  view.setServiceBox(true);
  view.showMessage(kTextRemoveFailed);
  return ServiceSwitchOutcome::kRemoveFailed;
}

}  // namespace

ServiceOperations ServiceOperations::System() {
  return ServiceOperations{
      [](std::string_view program, std::string_view arguments, void* promptOwner) {
        return platform::RunElevated(program, arguments, kServiceProgramLimit, promptOwner);
      },
      [](std::string_view name) { return platform::QueryServiceState(name); },
      [](std::string_view name) { platform::StartServiceByName(name); },
      nullptr,
  };
}

ServiceSwitchOutcome RunServiceSwitch(bool boxChecked, const ServiceSwitchAccount& account,
                                      const ServiceSwitchView& view,
                                      const ServiceOperations& operations) {
  return boxChecked ? SwitchOn(account, view, operations) : SwitchOff(view, operations);
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
