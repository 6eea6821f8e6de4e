#include "platform/win32/service_security.h"

#include "platform/win32/service_calls.h"
#include "platform/win32/unique_handle.h"

namespace quorin::platform {

bool ApplyServiceSecurity(SC_HANDLE service) {
  ServiceCalls& calls = CurrentServiceCalls();
  UniqueSecurityDescriptor descriptor;
  if (!calls.convertStringSecurityDescriptor(kServiceSecurityDescriptor, SDDL_REVISION_1,
                                             descriptor.put(), nullptr)) {
    return false;
  }
  return calls.setServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, descriptor.get()) !=
         FALSE;
}

}  // namespace quorin::platform
