// The installed product as its registry key describes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace quorin::updater {

// The value buffers of the product key: a value that does not fit (with its terminating NUL)
// counts as missing.
inline constexpr std::size_t kProductValueBuffer = 200;
inline constexpr std::size_t kAutoUpdateUrlBuffer = 500;

struct ProductInfo {
  std::string productName;       // "ProductName"
  std::string vendor;            // "vendor"
  std::string version;           // "version", the installed version
  std::string newVersionNumber;  // "NewVersionNumber", the version recorded by an earlier run
  std::string newVersionFile;    // "NewVersionFile", the file recorded by an earlier run
  std::string language;          // "Language"
  std::string osVersionText;     // the running system's version text
  std::string hardwareId;        // the machine's identifier
};

// A string value that fits a buffer of `bufferBytes` bytes; nothing when it is missing or too
// long.
std::optional<std::string> ReadBoundedValue(platform::SettingsStore& store,
                                            std::uint32_t rootNumber, std::string_view keyPath,
                                            std::string_view name, std::size_t bufferBytes);

// Reads the six values in their order, each only while every read before it succeeded: a
// missing value leaves it and all that follow it empty. So "Language" is read only when a new
// version was recorded before. A root number that names no predefined root reads nothing.
ProductInfo ReadProductInfo(platform::SettingsStore& store, std::uint32_t rootNumber,
                            std::string_view keyPath, std::string osVersionText,
                            std::string hardwareId);

// "AutoUpdateURL", empty when missing or longer than its buffer.
std::string ReadAutoUpdateUrl(platform::SettingsStore& store, std::uint32_t rootNumber,
                              std::string_view keyPath);

}  // namespace quorin::updater
