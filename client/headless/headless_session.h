// The client's main job without a window: log in (again every 30 seconds while that fails),
// keep the domains updated through the monitor, and print each change of the status, until
// asked to stop.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "client/headless/headless_options.h"
#include "client/protocol/request_environment.h"
#include "client/texts/string_table.h"

namespace quorin::client {

struct HeadlessRunConfig {
  std::optional<SilentAccount> silent;          // the account to use; empty: see ChooseAccount
  std::string profilePath;                      // "userprofie.dat" for the remembered account
  std::chrono::milliseconds retryDelay{30000};  // of the client's clock
  // How long stopping may take (real time) before the program leaves anyway.
  std::chrono::milliseconds stopGrace{5000};
  // Runs just before the program leaves after the grace (a service reports itself stopped).
  std::function<void()> beforeForcedExit;
};

// The profile marked current in the profile file, when it remembers its password.
std::optional<SilentAccount> RememberedAccount(const std::string& profilePath);

// The account to log in with: the command line's, else the profile marked current when
// "autoLogin" is set and that profile remembers its password.
std::optional<SilentAccount> ChooseAccount(const HeadlessRunConfig& config,
                                           const Settings& settings);

// Fills the process's text tables and the DDNS host name that the login and every later
// request use.
void PrepareProcessRequests(const StringTable& strings, const Settings& settings);

// Runs the process's client until `stopRequested()` turns true, printing status lines and
// messages to `out`. Returns the process exit code: 0 after a stop, 2 when there is no account
// to log in with.
int RunHeadlessClient(const HeadlessRunConfig& config, const StringTable& strings,
                      std::ostream& out, const std::function<bool()>& stopRequested);

}  // namespace quorin::client
