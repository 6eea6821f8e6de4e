// The security descriptor that the registration gives the client's service: the system and
// administrators keep full control, and interactive users (whoever is logged on at the machine,
// also without administrator rights) may start it, stop it and ask for its state, and nothing
// more. The client starts the service after each login and stops it at exit as the user who runs
// it, so without this a standard user, or an administrator whose programs run without elevation,
// could not do either.
#pragma once

#include <windows.h>

namespace quorin::platform {

// SY and BA: SERVICE_ALL_ACCESS. IU: SERVICE_QUERY_STATUS (LC), SERVICE_START (RP),
// SERVICE_STOP (WP) and SERVICE_INTERROGATE (LO), the question that asks the service itself for
// its state. Nobody else has access; the descriptor replaces only the access list.
inline constexpr const wchar_t* kServiceSecurityDescriptor =
    L"D:(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)"
    L"(A;;LCRPWPLO;;;IU)";

// Sets the access list of `service` (opened with WRITE_DAC) from kServiceSecurityDescriptor.
// False, with the system's error code left for GetLastError, when it cannot be set.
bool ApplyServiceSecurity(SC_HANDLE service);

}  // namespace quorin::platform
