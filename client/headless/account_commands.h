// Setting up the account that a plain start of the console client (and the service program,
// and the windowed client) logs in with, without the password ever showing on a command line:
// --remember proves the account by one login and remembers it, --forget removes it.
#pragma once

#include <ostream>
#include <string>

#include "client/headless/headless_options.h"
#include "client/local/settings.h"
#include "client/protocol/request_environment.h"

namespace quorin::client {

// Logs in once with `account` through `environment` and, when the login succeeds, records it
// in the profile file at `profilePath` as the windowed client records a login whose
// remember-password box is ticked (the current profile, its password remembered), then sets
// "autoLogin" to 1. A failed login stores nothing. One line to `out` on success, to `err`
// otherwise. Returns the exit code (exit_codes.h). The process texts must be prepared
// (PrepareProcessRequests).
int RememberAccount(RequestEnvironment& environment, const SilentAccount& account,
                    const std::string& profilePath, std::ostream& out, std::ostream& err);

// Removes `user`'s profile from the file; when it was the current one, "autoLogin" is set to 0,
// so that no start logs in with an account the user meant to forget. Returns the exit code.
int ForgetAccount(Settings& settings, const std::string& user, const std::string& profilePath,
                  std::ostream& out, std::ostream& err);

}  // namespace quorin::client
