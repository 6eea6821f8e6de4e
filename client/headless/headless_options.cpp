#include "client/headless/headless_options.h"

#include <cstdlib>

#include "common/text_tools.h"

namespace quorin::client {

bool IsSilentSwitch(const std::string& argument) {
  return argument.size() == 7 && (argument[0] == '-' || argument[0] == '/') &&
         EqualsIgnoreCase(std::string_view(argument).substr(1), "silent");
}

HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& arguments) {
  HeadlessOptions options;
  std::size_t i = 0;
  // Options come first, so that a user name or password can never be taken for one.
  for (; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      return options;
    }
    if (argument == "--store" || argument == "--time-scale") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        options.error = argument + " needs a value";
        return options;
      }
      const std::string& value = arguments[++i];
      if (argument == "--store") {
        options.storeDirectory = value;
      } else {
        char* end = nullptr;
        const double scale = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || *end != '\0' || !(scale >= 1.0 && scale <= 100000.0)) {
          options.error = "--time-scale takes a number from 1 to 100000, not \"" + value + "\"";
          return options;
        }
        options.timeScale = scale;
      }
      continue;
    }
    break;
  }
  if (i == arguments.size())
    return options;
  if (!IsSilentSwitch(arguments[i])) {
    options.error = "unknown argument \"" + arguments[i] + "\" (see --help)";
    return options;
  }
  if (arguments.size() - i < 3) {
    options.error = arguments[i] + " needs a user name and a password";
    return options;
  }
  options.silent = SilentAccount{arguments[i + 1], arguments[i + 2]};
  if (arguments.size() - i > 3) {
    options.error = "unexpected argument \"" + arguments[i + 3] + "\" after the password";
  }
  return options;
}

std::string HeadlessUsage(const std::string& programName) {
  return "Usage: " + programName + R"( [--store DIR] [--time-scale N] [-silent USER PASSWORD]

Keeps your dynamic DNS names pointed at this machine's public IPv4 address, without a window.

  -silent USER PASSWORD  log in with this account ("/silent" and any letter case work too);
                         a failed login is tried again every 30 seconds.
  (no account)           log in with the remembered account when "autoLogin" is set and its
                         password is remembered (saved by the windowed client).
  --store DIR            the settings store directory; the default is $QUORINFREE_STORE,
                         else $XDG_CONFIG_HOME/quorinfree, else ~/.config/quorinfree. The
                         profile file "userprofie.dat" and the log "quorin.log" live there too.
                         (The Windows edition keeps its settings in the registry and its files
                         beside the program, and does not take this option.)
  --time-scale N         run the client's clock N times faster than real time (for tests and
                         demonstrations: a minute's address check then comes every 60/N s).
  --help                 this text.

Every change of the status (user, status line, connection kind, current address) is printed as
one line with the time. Ctrl-C or SIGTERM stops the client within a few seconds.
Settings of the store that matter here: "isLog" (1: append events to quorin.log),
"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2" (the provider's
update hosts), "autoLogin".

Exit codes: 0 after a stop; 1 for a command line or store that cannot be used, or when the
name server says that none of the update hosts exists; 2 when there is no account to log in
with.
)";
}

}  // namespace quorin::client
