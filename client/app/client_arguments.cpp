#include "client/app/client_arguments.h"

#include <windows.h>

#include <cstdlib>

#include "client/headless/headless_options.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

constexpr double kMaxTimeScale = 100000.0;

}  // namespace

ClientArguments ParseClientArguments(const std::vector<std::string>& arguments) {
  ClientArguments parsed;
  if (arguments.size() >= 4 && IsSilentSwitch(arguments[1])) {
    parsed.silentUser = arguments[2];
    parsed.silentPassword = arguments[3];
  }
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] != "--time-scale")
      continue;
    char* end = nullptr;
    const double scale = std::strtod(arguments[i + 1].c_str(), &end);
    // Anything that is not a number within the range leaves the real clock.
    if (end != nullptr && *end == '\0' && scale >= 1.0 && scale <= kMaxTimeScale)
      parsed.timeScale = scale;
  }
  return parsed;
}

std::vector<std::string> ProcessArguments() {
  std::vector<std::string> arguments;
  if (__wargv == nullptr)
    return arguments;
  for (int i = 0; i < __argc; ++i)
    arguments.push_back(platform::Utf8FromWide(__wargv[i] != nullptr ? __wargv[i] : L""));
  return arguments;
}

}  // namespace quorin::client
