// The settings store kept in files, for systems without a registry.
//
// Layout: <directory>/<ROOT NAME>/<key path with '/' for each '\'>.ini, for example
// HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini. Each file holds one "name=value" line per
// value; a backslash, a line feed or a carriage return inside a name or value is written as
// "\\", "\n" or "\r", and an '=' inside a name as "\=". Lines that are not values (comments,
// hand-written text) are kept as they are. Key and value names compare without regard to ASCII
// case, as in the registry; a new key takes the letter case it is created with.
//
// Every change rewrites the key's file atomically (a temporary file beside it, flushed to
// disk, then renamed over it), so a crash leaves either the old or the new file, never half of
// one. Changes from several processes are ordered by a lock file in the directory. A change is
// made only to a file that was read whole: a file that cannot be read, or is larger than a
// store file may be, is left as it is and the change is refused.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

namespace quorin::platform {

// The most bytes a key's file may hold. A larger file is not one this store wrote: reads see
// the values of its first complete lines up to this size, and changes to it are refused.
inline constexpr std::size_t kMaxStoreFileBytes = 1 << 20;

// One value line's name and text in the file form, and back. A line decodes when it holds an
// unescaped '=' after a non-empty name.
std::string EncodeStoreLine(std::string_view name, std::string_view text);
bool DecodeStoreLine(std::string_view line, std::string& name, std::string& text);

// The text of the first value of that name (ASCII case ignored) in a key file's content; what
// StoreFileLines(content).Find(name) gives, without keeping the lines.
std::optional<std::string> FindStoreValue(std::string_view content, std::string_view name);

// The lines of one key's file: the values it holds, and every other line exactly as it was
// read, so that a change rewrites only the line of the value it changes.
class StoreFileLines {
 public:
  explicit StoreFileLines(std::string_view content);

  // The text of the first value of that name (ASCII case ignored).
  std::optional<std::string> Find(std::string_view name) const;
  // Replaces the first value of that name, keeping the name's letter case, or appends a line
  // for it; later lines of the same name, which no read could see, are dropped. False for an
  // empty name.
  bool Set(std::string_view name, std::string_view text);
  // Removes every value of that name; false when there was none.
  bool Remove(std::string_view name);
  // The file's content: every line followed by a line feed.
  std::string Text() const;

 private:
  struct Line {
    std::string raw;  // as in the file, without its line feed
    bool isValue = false;
    std::string name;
    std::string text;
  };
  std::vector<Line> lines_;
};

class FileSettingsStore : public SettingsStore {
 public:
  struct Options {
    // Called after the temporary file is complete and before it replaces the key's file;
    // returning false abandons the change there, as a crash at that moment would. For tests.
    std::function<bool(const std::filesystem::path& temporary)> beforeReplace;
  };

  explicit FileSettingsStore(std::filesystem::path directory, Options options = {});

  // Value names are never empty here: the registry's unnamed default value has no line form,
  // so an empty name reads as absent and cannot be written.
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
  // Runs `edit` on the key's lines under the store's lock and writes the result when `edit`
  // says it changed them (or the file does not exist yet).
  bool Change(RootKey root, std::string_view keyPath,
              const std::function<bool(StoreFileLines&)>& edit);

  std::filesystem::path directory_;
  Options options_;
  std::mutex mutex_;  // orders this process's changes; the lock file orders processes
};

// The store directory this machine's programs use: $QUORINFREE_STORE, else
// $XDG_CONFIG_HOME/quorinfree, else $HOME/.config/quorinfree.
std::filesystem::path DefaultStoreDirectory();

}  // namespace quorin::platform
