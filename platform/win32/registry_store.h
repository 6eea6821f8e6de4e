// The settings store on Windows: the registry. Texts are UTF-8 in the programs and UTF-16 in
// the registry (string values, REG_SZ), so names and texts in any language survive.
#pragma once

#include "platform/settings_store.h"

namespace quorin::platform {

class RegistryStore : public SettingsStore {
 public:
  std::optional<std::string> Read(RootKey root, std::string_view keyPath,
                                  std::string_view name) override;
  bool Write(RootKey root, std::string_view keyPath, std::string_view name,
             std::string_view text) override;
  bool Remove(RootKey root, std::string_view keyPath, std::string_view name) override;
  bool CreateKey(RootKey root, std::string_view keyPath) override;
  bool KeyExists(RootKey root, std::string_view keyPath) override;
};

}  // namespace quorin::platform
