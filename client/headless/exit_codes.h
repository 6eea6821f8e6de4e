// The exit codes of the client without windows, as --help lists them.
#pragma once

namespace quorin::client {

// Stopped on request; an account remembered or forgotten.
inline constexpr int kExitSuccess = 0;
// A command line, store, password input or profile file that cannot be used, or update hosts
// that the name server says do not exist.
inline constexpr int kExitUnusable = 1;
// No account to log in with; for --forget, no remembered account of that name.
inline constexpr int kExitNoAccount = 2;
// --remember: the login failed (refused, or no server answered); nothing was stored.
inline constexpr int kExitLoginFailed = 3;

}  // namespace quorin::client
