#include "updater/product_info.h"

namespace quorin::updater {

std::optional<std::string> ReadBoundedValue(platform::SettingsStore& store,
                                            std::uint32_t rootNumber, std::string_view keyPath,
                                            std::string_view name, std::size_t bufferBytes) {
  const auto root = platform::RootKeyFromNumber(rootNumber);
  if (!root)
    return std::nullopt;
  auto value = store.Read(*root, keyPath, name);
  if (!value || value->size() + 1 > bufferBytes)
    return std::nullopt;
  return value;
}

ProductInfo ReadProductInfo(platform::SettingsStore& store, std::uint32_t rootNumber,
                            std::string_view keyPath, std::string osVersionText,
                            std::string hardwareId) {
  ProductInfo info;
  info.osVersionText = std::move(osVersionText);
  info.hardwareId = std::move(hardwareId);
  const struct {
    std::string_view name;
    std::string ProductInfo::*field;
  } kValues[] = {
      {"ProductName", &ProductInfo::productName},
      {"vendor", &ProductInfo::vendor},
      {"version", &ProductInfo::version},
      {"NewVersionNumber", &ProductInfo::newVersionNumber},
      {"NewVersionFile", &ProductInfo::newVersionFile},
      {"Language", &ProductInfo::language},
  };
  for (const auto& value : kValues) {
    auto text = ReadBoundedValue(store, rootNumber, keyPath, value.name, kProductValueBuffer);
    if (!text)
      break;
    info.*value.field = std::move(*text);
  }
  return info;
}

std::string ReadAutoUpdateUrl(platform::SettingsStore& store, std::uint32_t rootNumber,
                              std::string_view keyPath) {
  return ReadBoundedValue(store, rootNumber, keyPath, "AutoUpdateURL", kAutoUpdateUrlBuffer)
      .value_or(std::string());
}

}  // namespace quorin::updater
