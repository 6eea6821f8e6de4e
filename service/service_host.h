// TLDDNSService.exe run by the service manager: it logs in with the remembered current account
// of "userprofie.dat" beside the program (the client leaves it there before it starts the
// service) and keeps that account's domains updated with the client's own monitor until the
// service is stopped. What it does goes to "TLDDNSService.log" beside the program.
#pragma once

#include <string>
#include <vector>

namespace quorin::standins {

// The service's own exit codes (reported as a service-specific error).
inline constexpr unsigned long kServiceNoAccount = 2;     // no remembered account to log in with
inline constexpr unsigned long kServiceBadArguments = 5;  // start parameters it cannot use
inline constexpr unsigned long kServiceCannotStart = 6;   // no network layer or settings store

// Adds `lines` to "TLDDNSService.log", stamped like the service's own lines.
void AppendToServiceLog(const std::vector<std::string>& lines);

// Hands the program to the service manager; returns when the service has stopped. False when
// the program was not started by the service manager.
bool RunAsService();

}  // namespace quorin::standins
