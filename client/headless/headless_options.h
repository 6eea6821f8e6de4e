// The command line of the client without windows:
//   quorinfree [--store DIR] [--time-scale N] [-silent USER PASSWORD]
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

struct HeadlessOptions {
  bool help = false;
  // The settings store directory (systems without a registry only).
  std::optional<std::string> storeDirectory;
  // How many times faster than real time the client's clock runs; for tests and the demo.
  double timeScale = 1.0;
  // The account given on the command line ("-silent" or "/silent" in any letter case).
  std::optional<SilentAccount> silent;
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
