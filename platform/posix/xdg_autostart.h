// The autostart entry of a desktop session on free desktops: a desktop entry file in the
// user's XDG autostart directory.
#pragma once

#include <filesystem>

#include "platform/autostart.h"

namespace quorin::platform {

class XdgAutoStart : public AutoStartEntry {
 public:
  // `directory` is the autostart directory; the entry is `<directory>/<name>.desktop`.
  XdgAutoStart(std::filesystem::path directory, std::string name);

  std::optional<std::string> Read() override;
  bool Write(std::string_view programPath) override;
  bool Remove() override;

  std::filesystem::path EntryFile() const;

 private:
  std::filesystem::path directory_;
  std::string name_;
};

// $XDG_CONFIG_HOME/autostart, else $HOME/.config/autostart.
std::filesystem::path DefaultAutoStartDirectory();

// The Exec key's value for one program path, and back: a literal '%' is written "%%"; a path
// holding blanks, quotes or other reserved characters is quoted, with '"', '`', '$' and '\'
// escaped inside the quotes; then every backslash is doubled, since the value's own escapes are
// read before the quoting. Write refuses a path holding a line break or another control
// character, which no desktop entry value can hold.
std::string QuoteExecArgument(std::string_view path);
std::optional<std::string> UnquoteExecArgument(std::string_view exec);

}  // namespace quorin::platform
