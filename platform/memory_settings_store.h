// A settings store held in memory, for tests and for programs that must not touch the
// machine's store. Names of keys and values compare without regard to ASCII case, as in the
// registry. Safe to use from several threads.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "platform/settings_store.h"

namespace quorin::platform {

class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<std::string> Read(RootKey root, std::string_view keyPath,
                                  std::string_view name) override;
  bool Write(RootKey root, std::string_view keyPath, std::string_view name,
             std::string_view text) override;
  bool Remove(RootKey root, std::string_view keyPath, std::string_view name) override;
  bool CreateKey(RootKey root, std::string_view keyPath) override;
  bool KeyExists(RootKey root, std::string_view keyPath) override;

  // Makes every later write fail (a user without write access, a full disk).
  void SetReadOnly(bool readOnly);

  // Every write and removal in the order they happened, as "name=text" or "-name", so a
  // test can check the order in which a caller stores its values.
  std::vector<std::string> Journal() const;

 private:
  using KeyId = std::pair<RootKey, std::string>;  // path folded to lower case
  using Values = std::map<std::string, std::pair<std::string, std::string>>;  // folded name ->
                                                                               // (name, text)
  mutable std::mutex mutex_;
  std::map<KeyId, Values> keys_;
  std::vector<std::string> journal_;
  bool readOnly_ = false;
};

}  // namespace quorin::platform
