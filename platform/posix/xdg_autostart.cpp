#include "platform/posix/xdg_autostart.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quorin::platform {

namespace fs = std::filesystem;

XdgAutoStart::XdgAutoStart(fs::path directory, std::string name)
    : directory_(std::move(directory)), name_(std::move(name)) {}

fs::path XdgAutoStart::EntryFile() const { return directory_ / (name_ + ".desktop"); }

std::optional<std::string> XdgAutoStart::Read() {
  std::ifstream in(EntryFile());
  if (!in) return std::nullopt;
  std::string line;
  std::optional<std::string> program;
  bool hidden = false;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=", 0) == 0) program = UnquoteExecArgument(line.substr(5));
    if (line == "Hidden=true") hidden = true;
  }
  if (hidden || !program || program->empty()) return std::nullopt;
  return program;
}

bool XdgAutoStart::Write(std::string_view programPath) {
  std::error_code error;
  fs::create_directories(directory_, error);
  const fs::path temporary = EntryFile().string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << name_ << "\n"
        << "Comment=Keeps your dynamic DNS names pointed at this machine\n"
        << "Exec=" << QuoteExecArgument(programPath) << "\n"
        << "X-GNOME-Autostart-enabled=true\n";
    if (!out.flush()) return false;
  }
  fs::rename(temporary, EntryFile(), error);
  return !error;
}

bool XdgAutoStart::Remove() {
  std::error_code error;
  fs::remove(EntryFile(), error);
  return !error;
}

fs::path DefaultAutoStartDirectory() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return fs::path(config) / "autostart";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : ".") / ".config" / "autostart";
}

std::string QuoteExecArgument(std::string_view path) {
  if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string_view::npos) {
    return std::string(path);
  }
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::optional<std::string> UnquoteExecArgument(std::string_view exec) {
  if (exec.empty() || exec.front() != '"') {
    // Unquoted: the program ends at the first blank (arguments may follow).
    return std::string(exec.substr(0, exec.find(' ')));
  }
  std::string path;
  for (std::size_t i = 1; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      path += exec[++i];
    } else if (exec[i] == '"') {
      return path;
    } else {
      path += exec[i];
    }
  }
  return std::nullopt;  // no closing quote
}

AutoStartEntry& ClientAutoStart() {
  static XdgAutoStart entry(DefaultAutoStartDirectory(), "Quorin");
  return entry;
}

}  // namespace quorin::platform
