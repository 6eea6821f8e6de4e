// The settings store: named text values under key paths of a few roots. On Windows this is
// the registry itself; elsewhere the same keys, value names and texts are kept in files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorin::platform {

// The predefined registry roots, with the numbers Windows gives them (the updater receives
// a root as such a number on its command line).
enum class RootKey : std::uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
  Users = 0x80000003u,
  CurrentConfig = 0x80000005u,
};

// The root with this number, or nothing for a number that names no predefined root.
std::optional<RootKey> RootKeyFromNumber(std::uint32_t number);

// "HKEY_LOCAL_MACHINE" and so on.
std::string_view RootKeyName(RootKey root);

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The text of a string value; nothing when the key or the value does not exist or the
  // value cannot be read as text. Key paths use '\' between their parts.
  virtual std::optional<std::string> Read(RootKey root, std::string_view keyPath,
                                          std::string_view name) = 0;
  // Stores a string value, creating the key when needed. False when nothing was stored.
  virtual bool Write(RootKey root, std::string_view keyPath, std::string_view name,
                     std::string_view text) = 0;
  // Removes a value. True when the value no longer exists (also when it never did).
  virtual bool Remove(RootKey root, std::string_view keyPath, std::string_view name) = 0;
  // Creates the key when it does not exist. False when it cannot be created.
  virtual bool CreateKey(RootKey root, std::string_view keyPath) = 0;
  // True when the key exists and can be opened for reading.
  virtual bool KeyExists(RootKey root, std::string_view keyPath) = 0;
};

// The store that every program of this machine shares: the registry on Windows; on other
// systems the files under $QUORINFREE_STORE, else $XDG_CONFIG_HOME/quorinfree, else
// ~/.config/quorinfree.
SettingsStore& SystemSettingsStore();

}  // namespace quorin::platform
