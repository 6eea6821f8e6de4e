#include "service/service_registration.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/win32/service_security.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::standins {
namespace {

using platform::UniqueServiceHandle;
using namespace std::chrono_literals;

constexpr const wchar_t* kDisplayName = L"TLDDNSService (QuorinFree dynamic DNS)";
constexpr const wchar_t* kDescription =
    L"Keeps the remembered QuorinFree account's domains pointed at this machine's public "
    L"address while no one is logged in.";
// How long the removal waits for a running service to stop before it deletes it anyway; the
// service manager then removes it as soon as it has stopped.
constexpr auto kStopWait = 20s;

std::string SystemMessage(const char* what, DWORD error) {
  return std::string(what) + " (error " + std::to_string(error) + ")";
}

// The description, and a restart one minute after the program ends without saying it stopped
// (a crash): an unattended machine should not stay without updates until the next boot. A
// stop with one of the service's own exit codes is no crash and is not retried, since the same
// cause (no remembered account) would stop it again.
void Describe(SC_HANDLE service) {
  SERVICE_DESCRIPTIONW description{};
  description.lpDescription = const_cast<wchar_t*>(kDescription);
  ::ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
  SC_ACTION restart[3] = {
      {SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}};
  SERVICE_FAILURE_ACTIONSW actions{};
  actions.dwResetPeriod = 24 * 60 * 60;  // seconds without a crash before the count starts anew
  actions.cActions = 3;
  actions.lpsaActions = restart;
  ::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions);
}

void StopAndWait(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED)
    return;
  ::ControlService(service, SERVICE_CONTROL_STOP, &status);
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!::QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED)
      return;
    std::this_thread::sleep_for(200ms);
  }
}

}  // namespace

int RegisterService(const std::wstring& programPath, std::string& message) {
  const UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager) {
    message = SystemMessage("the service manager cannot be opened", ::GetLastError());
    return kExitNoServiceManager;
  }
  // Quoted, since the installation folder usually holds blanks ("Program Files").
  const std::wstring command = L"\"" + programPath + L"\"";
  UniqueServiceHandle service(
      ::CreateServiceW(manager.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (service) {
    Describe(service.get());
    if (!platform::ApplyServiceSecurity(service.get())) {
      // A service that only administrators could start would fail the client silently at
      // every login: it is not left behind half done.
      const DWORD error = ::GetLastError();
      ::DeleteService(service.get());
      message = SystemMessage("the service's access list cannot be set", error);
      return kExitRefused;
    }
    message = "registered the service TLDDNSService for " + platform::Utf8FromWide(command);
    return kExitDone;
  }
  const DWORD error = ::GetLastError();
  if (error != ERROR_SERVICE_EXISTS) {
    message = SystemMessage("the service cannot be registered", error);
    return kExitRefused;
  }
  // Registered before, perhaps from another folder or by an older version: this program is the
  // one to run now, with this version's access list. Restart actions need the right to start
  // the service as well.
  service.reset(::OpenServiceW(manager.get(), kServiceName,
                               SERVICE_CHANGE_CONFIG | SERVICE_START | WRITE_DAC));
  if (!service ||
      !::ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                              SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr, kDisplayName)) {
    message = SystemMessage("the registered service cannot be changed", ::GetLastError());
    return kExitRefused;
  }
  Describe(service.get());
  if (!platform::ApplyServiceSecurity(service.get())) {
    message = SystemMessage("the service's access list cannot be set", ::GetLastError());
    return kExitRefused;
  }
  message = "the service TLDDNSService now runs " + platform::Utf8FromWide(command);
  return kExitDone;
}

int RemoveService(std::string& message) {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    message = SystemMessage("the service manager cannot be opened", ::GetLastError());
    return kExitNoServiceManager;
  }
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
      message = "the service TLDDNSService is not installed";
      return kExitDone;
    }
    message = SystemMessage("the service cannot be opened", error);
    return kExitRefused;
  }
  StopAndWait(service.get());
  if (!::DeleteService(service.get())) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_SERVICE_MARKED_FOR_DELETE) {
      message = SystemMessage("the service cannot be removed", error);
      return kExitRefused;
    }
  }
  message = "removed the service TLDDNSService";
  return kExitDone;
}

}  // namespace quorin::standins
