#include "platform/program_arguments.h"

namespace quorin::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return arguments;
}

}  // namespace quorin::platform
