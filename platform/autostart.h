// The entry that starts a program when the user logs on: the "Run" value on Windows, an XDG
// autostart desktop entry elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorin::platform {

class AutoStartEntry {
 public:
  virtual ~AutoStartEntry() = default;
  // The program path the entry starts; nothing when there is no entry.
  virtual std::optional<std::string> Read() = 0;
  // Creates or replaces the entry so that it starts `programPath`.
  virtual bool Write(std::string_view programPath) = 0;
  // Removes the entry; true when none is left (also when there was none).
  virtual bool Remove() = 0;
};

// The client's entry on this machine ("Quorin").
AutoStartEntry& ClientAutoStart();

}  // namespace quorin::platform
