#include "platform/program_folder.h"

#include "platform/program_path.h"

namespace quorin::platform {

std::optional<std::string> ProgramFolder() {
  const auto path = ProgramPath();
  if (!path)
    return std::nullopt;
  const std::size_t separator = path->rfind(PathSeparator());
  if (separator == std::string::npos)
    return std::nullopt;
  return path->substr(0, separator + 1);
}

}  // namespace quorin::platform
