#include "client/headless/headless_options.h"

#include <cstdlib>

#include "common/text_tools.h"

namespace quorin::client {
namespace {

constexpr const char* kPasswordFileSwitch = "--password-file";

bool TakesValue(const std::string& argument) {
  return argument == "--store" || argument == "--time-scale" || argument == kPasswordFileSwitch ||
         argument == "--remember" || argument == "--forget";
}

// Stores one option's value; false with options.error set when it cannot be used.
bool ApplyOption(const std::string& option, const std::string& value, HeadlessOptions& options) {
  if (option == "--store") {
    options.storeDirectory = value;
  } else if (option == "--time-scale") {
    char* end = nullptr;
    const double scale = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !(scale >= 1.0 && scale <= 100000.0)) {
      options.error = "--time-scale takes a number from 1 to 100000, not \"" + value + "\"";
      return false;
    }
    options.timeScale = scale;
  } else if (option == kPasswordFileSwitch) {
    options.passwordFile = value;
  } else {
    if (options.command != HeadlessCommand::kRun) {
      options.error = "give only one of --remember and --forget";
      return false;
    }
    options.command =
        option == "--remember" ? HeadlessCommand::kRemember : HeadlessCommand::kForget;
    options.accountUser = value;
  }
  return true;
}

// The account after "-silent" at `first`: USER PASSWORD, or USER alone with a password file
// (given before "-silent" or as "--password-file FILE" after the user).
void ParseSilentAccount(const std::vector<std::string>& arguments, std::size_t first,
                        HeadlessOptions& options) {
  const std::string& word = arguments[first - 1];
  const std::size_t count = arguments.size() - first;
  if (count == 3 && arguments[first + 1] == kPasswordFileSwitch && !options.passwordFile) {
    if (arguments[first + 2].empty()) {
      options.error = std::string(kPasswordFileSwitch) + " needs a value";
      return;
    }
    options.passwordFile = arguments[first + 2];
    options.silent = SilentAccount{arguments[first], ""};
    return;
  }
  if (options.passwordFile) {
    if (count == 0) {
      options.error = word + " needs a user name";
    } else if (count > 1) {
      options.error = "the password comes from --password-file; unexpected argument \"" +
                      arguments[first + 1] + "\" after the user name";
    } else {
      options.silent = SilentAccount{arguments[first], ""};
    }
    return;
  }
  if (count < 2) {
    options.error = word + " needs a user name and a password (or --password-file FILE)";
    return;
  }
  options.silent = SilentAccount{arguments[first], arguments[first + 1]};
  if (count > 2)
    options.error = "unexpected argument \"" + arguments[first + 2] + "\" after the password";
}

}  // namespace

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
    if (!TakesValue(argument))
      break;
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      options.error = argument + " needs a value";
      return options;
    }
    if (!ApplyOption(argument, arguments[i + 1], options))
      return options;
    ++i;
  }
  if (i < arguments.size()) {
    if (!IsSilentSwitch(arguments[i])) {
      options.error = "unknown argument \"" + arguments[i] + "\" (see --help)";
      return options;
    }
    if (options.command != HeadlessCommand::kRun) {
      options.error = arguments[i] + " does not go with --remember or --forget";
      return options;
    }
    ParseSilentAccount(arguments, i + 1, options);
    return options;
  }
  if (options.passwordFile && options.command != HeadlessCommand::kRemember) {
    options.error = std::string(kPasswordFileSwitch) + " goes with -silent USER or --remember USER";
  }
  return options;
}

std::string HeadlessUsage(const std::string& programName) {
  return "Usage: " + programName + R"( [--store DIR] [--time-scale N] [-silent USER PASSWORD]
       )" +
         programName +
         R"( [--store DIR] [--time-scale N] --password-file FILE -silent USER
       )" +
         programName +
         R"( [--store DIR] [--password-file FILE] --remember USER
       )" +
         programName + R"( [--store DIR] --forget USER

Keeps your dynamic DNS names pointed at this machine's public IPv4 address, without a window.

  (no account)           log in with the remembered account: the current profile of
                         "userprofie.dat" when "autoLogin" is set and its password is
                         remembered (by --remember, or by the windowed client).
  --remember USER        set up the remembered account: read USER's password (typed without
                         echo, or the first line of standard input when that is not a
                         terminal), log in once to prove it, then store it as the current
                         profile with its password and set "autoLogin" to 1. A refused login
                         stores nothing. Run it as the user the client will run as.
  --forget USER          remove USER's profile, password and all, from "userprofie.dat"; when
                         it was the current one, no profile is current afterwards and
                         "autoLogin" is set to 0.
  --password-file FILE   read the password of -silent USER or --remember USER from the first
                         line of FILE (for instance a systemd credential, or a file only root
                         can read), so that it never shows on the command line.
  -silent USER PASSWORD  log in with this account ("/silent" and any letter case work too);
                         a failed login is tried again every 30 seconds. Avoid this form on a
                         machine with other users: they can read the password in the process
                         list.
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

Exit codes:
  0  stopped on request; --remember: the account is remembered; --forget: it is removed.
  1  a command line, store, password (unreadable, empty or too long) or profile file that
     cannot be used, or update hosts that the name server says do not exist.
  2  no account to log in with; --forget: no remembered account has that name.
  3  --remember: the login failed (the server refused it, or no server answered); nothing
     was stored.
)";
}

}  // namespace quorin::client
