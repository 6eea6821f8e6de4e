// Paths of the updater are UTF-8 texts; std::filesystem reads a plain std::string in the
// system's narrow code page on Windows, so every path goes through here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorin::updater {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
  std::u8string bytes;
  bytes.reserve(text.size());
  for (const char c : text)
    bytes.push_back(static_cast<char8_t>(c));
  return std::filesystem::path(bytes);
}

// True when a file or folder exists at the path.
inline bool PathExists(std::string_view text) {
  if (text.empty())
    return false;
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(text), error);
}

}  // namespace quorin::updater
