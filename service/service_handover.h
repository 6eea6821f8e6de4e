// What the registration, which runs with administrator rights, hands to the service from what
// the registering user sees, and what it refuses to take (docs/service-mode.md):
//
// - it records the user (their SID, in the service's own key under the service manager's), so
//   that the service reads that user's preferences later;
// - it copies the account file "userprofie.dat", from the user's virtualised folder when there
//   is one there, else from beside the program, to beside the program, readable by the system
//   and administrators only: it holds a password in plain text;
// - it copies the user's preferences (service_settings.h) from the user's virtualised settings
//   key into the machine's key, for the times the user's own settings cannot be read (at boot,
//   before anyone logs on);
// - destinations found only in the user's copy, or differing there, are not taken: a line of
//   the report names each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "service/registering_user.h"

namespace quorin::standins {

// The service's own settings key, under the service manager's key of the service: only
// administrators and the system may write it.
inline constexpr const char* kServiceParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\TLDDNSService\\Parameters";
inline constexpr const char* kRegisteredByValue = "RegisteredBy";

// Hands the account and the preferences of `user` over to the service whose program lives in
// `programFolder` (with a trailing backslash). Returns the report, one line a step.
std::vector<std::string> HandOverToService(const std::optional<RegisteringUser>& user,
                                           const std::wstring& programFolder);

// The SID recorded by the last registration; nothing when none was, or it has not the form of
// one.
std::optional<std::string> RecordedRegisteringUser();

}  // namespace quorin::standins
