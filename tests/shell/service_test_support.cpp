#include "tests/shell/service_test_support.h"

#include "platform/win32/unique_handle.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {

void RemoveServiceNow(const wchar_t* name) {
  const platform::UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager)
    return;
  const platform::UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service)
    return;
  SERVICE_STATUS status{};
  ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  WaitUntil([&] {
    return !::QueryServiceStatus(service.get(), &status) ||
           status.dwCurrentState == SERVICE_STOPPED;
  });
  ::DeleteService(service.get());
}

}  // namespace quorin::shelltest
