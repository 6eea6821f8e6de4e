#include <filesystem>
#include <fstream>

#include "platform/profile_text.h"

namespace quorin::platform {

// Profile files are a few lines; a larger file is read up to this size only.
constexpr std::size_t kMaxProfileBytes = 64 * 1024;

std::string ReadProfileText(const std::string& path, std::string_view section,
                            std::string_view name) {
  std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
  if (!file)
    return std::string();
  std::string content(kMaxProfileBytes, '\0');
  file.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<std::size_t>(file.gcount()));
  return FindProfileText(content, section, name);
}

}  // namespace quorin::platform
