#include <windows.h>

#include <string>

#include "platform/service_control.h"
#include "platform/win32/service_calls.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// Each operation asks only for the rights it needs: connecting to the manager, and one right on
// the service. The service's security (see service_security.h) grants interactive users just
// these, so a standard user, and an administrator whose programs run without elevation, can
// start, stop and ask; asking for more would be refused to both.
UniqueServiceHandle OpenManager() {
  return UniqueServiceHandle(
      CurrentServiceCalls().openManager(nullptr, nullptr, SC_MANAGER_CONNECT));
}

UniqueServiceHandle OpenNamedService(SC_HANDLE manager, std::string_view name, DWORD access) {
  const std::wstring wide = WideFromUtf8(name);
  return UniqueServiceHandle(CurrentServiceCalls().openService(manager, wide.c_str(), access));
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
  CurrentServiceCalls().startService(service.get(), 0, nullptr);
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
  CurrentServiceCalls().controlService(service.get(), SERVICE_CONTROL_STOP, &status);
}

int QueryServiceState(std::string_view name) {
  const UniqueServiceHandle manager = OpenManager();
  if (!manager)
    return kServiceStateUnknown;
  const UniqueServiceHandle service = OpenNamedService(manager.get(), name, SERVICE_QUERY_STATUS);
  if (!service)
    return kServiceNotInstalled;
  SERVICE_STATUS status{};
  if (!CurrentServiceCalls().queryServiceStatus(service.get(), &status))
    return kServiceStateUnknown;
  if (status.dwCurrentState == SERVICE_RUNNING) {
    // The interrogation is a right of its own; where it is not granted (a service registered
    // by another tool), the manager's word stands.
    const UniqueServiceHandle asked = OpenNamedService(manager.get(), name, SERVICE_INTERROGATE);
    SERVICE_STATUS answer{};
    if (asked &&
        CurrentServiceCalls().controlService(asked.get(), SERVICE_CONTROL_INTERROGATE, &answer)) {
      return static_cast<int>(answer.dwCurrentState);
    }
  }
  return static_cast<int>(status.dwCurrentState);
}

}  // namespace quorin::platform
