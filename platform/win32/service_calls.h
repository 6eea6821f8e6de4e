// The system calls through which the platform layer reaches the service manager, the shell's
// elevated start and security descriptors. They are taken through one table so that tests can
// record what is asked (the verb, the access rights, the descriptor) and make a call fail, while
// the rest still reaches the real system.
#pragma once

#include <windows.h>

#include <sddl.h>
#include <shellapi.h>

namespace quorin::platform {

struct ServiceCalls {
  decltype(&::OpenSCManagerW) openManager = ::OpenSCManagerW;
  decltype(&::OpenServiceW) openService = ::OpenServiceW;
  decltype(&::StartServiceW) startService = ::StartServiceW;
  decltype(&::ControlService) controlService = ::ControlService;
  decltype(&::QueryServiceStatus) queryServiceStatus = ::QueryServiceStatus;
  decltype(&::SetServiceObjectSecurity) setServiceObjectSecurity = ::SetServiceObjectSecurity;
  decltype(&::ConvertStringSecurityDescriptorToSecurityDescriptorW)
      convertStringSecurityDescriptor = ::ConvertStringSecurityDescriptorToSecurityDescriptorW;
  decltype(&::ShellExecuteExW) shellExecuteEx = ::ShellExecuteExW;
};

// The calls in use. Tests replace entries through ScopedServiceCalls.
ServiceCalls& CurrentServiceCalls();

// Replaces the table while it lives and puts the previous one back afterwards.
class ScopedServiceCalls {
 public:
  explicit ScopedServiceCalls(const ServiceCalls& calls) : saved_(CurrentServiceCalls()) {
    CurrentServiceCalls() = calls;
  }
  ~ScopedServiceCalls() { CurrentServiceCalls() = saved_; }
  ScopedServiceCalls(const ScopedServiceCalls&) = delete;
  ScopedServiceCalls& operator=(const ScopedServiceCalls&) = delete;

 private:
  ServiceCalls saved_;
};

}  // namespace quorin::platform
