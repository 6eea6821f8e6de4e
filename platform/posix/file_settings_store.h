// The settings store kept in files, for systems without a registry.
//
// Layout: <directory>/<ROOT NAME>/<key path with '/' for each '\'>.ini, for example
// HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini. Each file holds one "name=value" line per
// value; a backslash, a line feed or a carriage return inside a name or value is written as
// "\\", "\n" or "\r", and an '=' inside a name as "\=". Key and value names compare without
// regard to ASCII case, as in the registry; a new key takes the letter case it is created
// with.
//
// Every change rewrites the key's file atomically (a temporary file beside it, flushed to
// disk, then renamed over it), so a crash leaves either the old or the new file, never half of
// one. Changes from several processes are ordered by a lock file in the directory.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>

#include "platform/settings_store.h"

namespace quorin::platform {

class FileSettingsStore : public SettingsStore {
 public:
  struct Options {
    // Called after the temporary file is complete and before it replaces the key's file;
    // returning false abandons the change there, as a crash at that moment would. For tests.
    std::function<bool(const std::filesystem::path& temporary)> beforeReplace;
  };

  explicit FileSettingsStore(std::filesystem::path directory, Options options = {});

  std::optional<std::string> Read(RootKey root, std::string_view keyPath,
                                  std::string_view name) override;
  bool Write(RootKey root, std::string_view keyPath, std::string_view name,
             std::string_view text) override;
  bool Remove(RootKey root, std::string_view keyPath, std::string_view name) override;
  bool CreateKey(RootKey root, std::string_view keyPath) override;
  bool KeyExists(RootKey root, std::string_view keyPath) override;

  const std::filesystem::path& directory() const { return directory_; }

  // The file that holds a key, or nothing for a key path that cannot name a file (an empty
  // part, "." or "..", a '/' or a NUL inside a part).
  std::optional<std::filesystem::path> KeyFile(RootKey root, std::string_view keyPath) const;

 private:
  bool Change(RootKey root, std::string_view keyPath,
              const std::function<bool(std::string& content)>& edit);

  std::filesystem::path directory_;
  Options options_;
  std::mutex mutex_;  // orders this process's changes; the lock file orders processes
};

// The store directory this machine's programs use: $QUORINFREE_STORE, else
// $XDG_CONFIG_HOME/quorinfree, else $HOME/.config/quorinfree.
std::filesystem::path DefaultStoreDirectory();

// One value line's name and text in the file form, and back. Exposed for tests.
std::string EncodeStoreLine(std::string_view name, std::string_view text);
bool DecodeStoreLine(std::string_view line, std::string& name, std::string& text);

}  // namespace quorin::platform
