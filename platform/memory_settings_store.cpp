#include "platform/memory_settings_store.h"

#include "common/text_tools.h"

namespace quorin::platform {
namespace {

std::string Fold(std::string_view text) { return ToLowerAscii(text); }

}  // namespace

std::optional<std::string> MemorySettingsStore::Read(RootKey root, std::string_view keyPath,
                                                     std::string_view name) {
  std::lock_guard lock(mutex_);
  const auto key = keys_.find({root, Fold(keyPath)});
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.find(Fold(name));
  if (value == key->second.end()) return std::nullopt;
  return value->second.second;
}

bool MemorySettingsStore::Write(RootKey root, std::string_view keyPath, std::string_view name,
                                std::string_view text) {
  std::lock_guard lock(mutex_);
  if (readOnly_) return false;
  auto& values = keys_[{root, Fold(keyPath)}];
  auto [it, inserted] = values.try_emplace(Fold(name), std::string(name), std::string(text));
  if (!inserted) it->second.second = std::string(text);
  journal_.push_back(std::string(name) + "=" + std::string(text));
  return true;
}

bool MemorySettingsStore::Remove(RootKey root, std::string_view keyPath, std::string_view name) {
  std::lock_guard lock(mutex_);
  const auto key = keys_.find({root, Fold(keyPath)});
  if (key == keys_.end()) return true;
  if (readOnly_) return key->second.count(Fold(name)) == 0;
  key->second.erase(Fold(name));
  journal_.push_back("-" + std::string(name));
  return true;
}

bool MemorySettingsStore::CreateKey(RootKey root, std::string_view keyPath) {
  std::lock_guard lock(mutex_);
  if (keys_.count({root, Fold(keyPath)}) != 0) return true;
  if (readOnly_) return false;
  keys_[{root, Fold(keyPath)}];
  return true;
}

bool MemorySettingsStore::KeyExists(RootKey root, std::string_view keyPath) {
  std::lock_guard lock(mutex_);
  return keys_.count({root, Fold(keyPath)}) != 0;
}

void MemorySettingsStore::SetReadOnly(bool readOnly) {
  std::lock_guard lock(mutex_);
  readOnly_ = readOnly;
}

std::vector<std::string> MemorySettingsStore::Journal() const {
  std::lock_guard lock(mutex_);
  return journal_;
}

}  // namespace quorin::platform
