// The command line of the client without windows:
//   quorinfree [--store DIR] [--time-scale N] [-silent USER PASSWORD]
//   quorinfree [--store DIR] [--time-scale N] --password-file FILE -silent USER
//   quorinfree [--store DIR] [--password-file FILE] --remember USER
//   quorinfree [--store DIR] --forget USER
//   quorinfree --help
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorin::client {

struct SilentAccount {
  std::string user;
  std::string password;
};

enum class HeadlessCommand {
  kRun,       // log in and keep the domains updated until stopped
  kRemember,  // prove an account by one login, then remember it for the plain start
  kForget,    // remove a remembered account
};

struct HeadlessOptions {
  bool help = false;
  HeadlessCommand command = HeadlessCommand::kRun;
  // The settings store directory (systems without a registry only).
  std::optional<std::string> storeDirectory;
  // How many times faster than real time the client's clock runs; for tests and the demo.
  double timeScale = 1.0;
  // The account given on the command line ("-silent" or "/silent" in any letter case). With a
  // password file its password is still empty here: it is the file's first line.
  std::optional<SilentAccount> silent;
  // The user of --remember or --forget.
  std::string accountUser;
  // The file whose first line is the password, for -silent USER and --remember USER.
  std::optional<std::string> passwordFile;
  // Set when the command line cannot be used; the text says why in one line.
  std::string error;
};

// `arguments` without the program name.
HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& arguments);

// True for "-silent" or "/silent" in any letter case.
bool IsSilentSwitch(const std::string& argument);

// The --help text.
std::string HeadlessUsage(const std::string& programName);

}  // namespace quorin::client
