#include <filesystem>
#include <system_error>

#include "platform/program_path.h"

namespace quorin::platform {

std::optional<std::string> ProgramPath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || path.empty()) return std::nullopt;
  return path.string();
}

std::optional<std::string> ProgramDirectory() {
  const auto path = ProgramPath();
  if (!path) return std::nullopt;
  const std::size_t slash = path->rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return path->substr(0, slash);
}

}  // namespace quorin::platform
