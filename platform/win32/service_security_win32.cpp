#include "platform/win32/service_security.h"

#include "platform/win32/service_calls.h"

namespace quorin::platform {
namespace {

// The descriptor that ConvertStringSecurityDescriptorToSecurityDescriptorW allocates.
struct LocalMemory {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  LocalMemory() = default;
  ~LocalMemory() {
    if (descriptor != nullptr)
      ::LocalFree(descriptor);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
};

}  // namespace

bool ApplyServiceSecurity(SC_HANDLE service) {
  ServiceCalls& calls = CurrentServiceCalls();
  LocalMemory memory;
  if (!calls.convertStringSecurityDescriptor(kServiceSecurityDescriptor, SDDL_REVISION_1,
                                             &memory.descriptor, nullptr)) {
    return false;
  }
  return calls.setServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, memory.descriptor) !=
         FALSE;
}

}  // namespace quorin::platform
