#include <windows.h>

#include <string>

#include "platform/service_control.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// Each operation asks only for the rights it needs, so that a user whom the service's
// security allows to start or stop it can do so without being an administrator.
UniqueServiceHandle OpenManager() {
  return UniqueServiceHandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
}

UniqueServiceHandle OpenNamedService(SC_HANDLE manager, std::string_view name, DWORD access) {
  const std::wstring wide = WideFromUtf8(name);
  return UniqueServiceHandle(::OpenServiceW(manager, wide.c_str(), access));
}

}  // namespace

void StartServiceByName(std::string_view name) {
  if (name.empty())
    return;
  const UniqueServiceHandle manager = OpenManager();
  if (!manager)
    return;
  const UniqueServiceHandle service = OpenNamedService(manager.get(), name, SERVICE_START);
  if (!service)
    return;
  ::StartServiceW(service.get(), 0, nullptr);
}

void StopServiceByName(std::string_view name) {
  if (name.empty())
    return;
  const UniqueServiceHandle manager = OpenManager();
  if (!manager)
    return;
  const UniqueServiceHandle service = OpenNamedService(manager.get(), name, SERVICE_STOP);
  if (!service)
    return;
  SERVICE_STATUS status{};
  ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
}

int QueryServiceState(std::string_view name) {
  const UniqueServiceHandle manager = OpenManager();
  if (!manager)
    return kServiceStateUnknown;
  const UniqueServiceHandle service =
      OpenNamedService(manager.get(), name, SERVICE_QUERY_STATUS | SERVICE_INTERROGATE);
  if (!service)
    return kServiceNotInstalled;
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service.get(), &status))
    return kServiceStateUnknown;
  if (status.dwCurrentState == SERVICE_RUNNING) {
    SERVICE_STATUS answer{};
    if (::ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &answer)) {
      return static_cast<int>(answer.dwCurrentState);
    }
  }
  return static_cast<int>(status.dwCurrentState);
}

}  // namespace quorin::platform
