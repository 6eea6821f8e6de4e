// Registering and removing the Windows service "TLDDNSService" for this program.
#pragma once

#include <string>

namespace quorin::standins {

inline constexpr const wchar_t* kServiceName = L"TLDDNSService";

// Exit codes of the registration commands.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitNoServiceManager = 3;  // e.g. not run as an administrator
inline constexpr int kExitRefused = 4;           // the service manager refused the change

// Registers the service to start automatically with `programPath` as its program; an existing
// registration is pointed at `programPath` again. Either way the service gets the access list
// of platform/win32/service_security.h, so that the users at the machine can start and stop
// it. `message` says what happened in one line.
int RegisterService(const std::wstring& programPath, std::string& message);

// Stops the service when it runs and removes it. A service that is not installed counts as
// removed: the caller wants it gone, and it is.
int RemoveService(std::string& message);

}  // namespace quorin::standins
