// What the windowed client takes from its command line, as the C run time split it (so quoted
// arguments may hold blanks): the silent account ("-silent USER PASSWORD", a dash or a slash,
// "silent" in any letter case, at least four arguments with the program's name) and, for tests
// and the demonstration, "--time-scale N", which runs the client's clock N times faster.
#pragma once

#include <string>
#include <vector>

namespace quorin::client {

struct ClientArguments {
  std::string silentUser;
  std::string silentPassword;
  double timeScale = 1.0;  // 1 to 100000
};

// `arguments` includes the program's name at position 0.
ClientArguments ParseClientArguments(const std::vector<std::string>& arguments);

// The arguments of this process (__argc/__wargv) in UTF-8.
std::vector<std::string> ProcessArguments();

}  // namespace quorin::client
