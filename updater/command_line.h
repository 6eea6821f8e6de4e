// The updater's command line: the registry root as a decimal number and the product's key path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::updater {

// Only the first 255 characters of a key path are used.
inline constexpr std::size_t kMaxKeyPathBytes = 255;

struct UpdaterArguments {
  std::uint32_t rootNumber = 0;  // the root's number as atoi reads it (wrapping at 32 bits)
  std::string keyPath;
};

// `words` is the whole command line, the program first. Nothing unless exactly two arguments
// follow the program.
std::optional<UpdaterArguments> ParseUpdaterArguments(const std::vector<std::string>& words);

// "Usage:\n\t<program> <Registry key> <Registry path>".
std::string UsageText(std::string_view programPath);

}  // namespace quorin::updater
