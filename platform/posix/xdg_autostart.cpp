#include "platform/posix/xdg_autostart.h"

#include <cstdlib>
#include <fstream>

#include "platform/atomic_file.h"

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

// Characters that make the Exec key quote an argument.
constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

// A desktop entry's value may hold no control characters, and a line break would end the Exec
// line early and let the rest of the path stand as a key of its own.
bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return true;
  }
  return false;
}

// The string escapes of desktop entry values, applied to the whole Exec value before its
// quoting is read: "\\" for a backslash, "\s", "\t", "\n", "\r". An unknown escape is kept as
// it is, as entries written by earlier versions have them.
std::string UnescapeValue(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    switch (value[++i]) {
      case '\\':
        text += '\\';
        break;
      case 's':
        text += ' ';
        break;
      case 't':
        text += '\t';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      default:
        text += '\\';
        text += value[i];
    }
  }
  return text;
}

}  // namespace

XdgAutoStart::XdgAutoStart(fs::path directory, std::string name)
    : directory_(std::move(directory)), name_(std::move(name)) {}

fs::path XdgAutoStart::EntryFile() const {
  return directory_ / (name_ + ".desktop");
}

std::optional<std::string> XdgAutoStart::Read() {
  std::ifstream in(EntryFile());
  if (!in)
    return std::nullopt;
  std::string line;
  std::optional<std::string> program;
  bool hidden = false;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=", 0) == 0)
      program = UnquoteExecArgument(line.substr(5));
    if (line == "Hidden=true")
      hidden = true;
  }
  if (hidden || !program || program->empty())
    return std::nullopt;
  return program;
}

bool XdgAutoStart::Write(std::string_view programPath) {
  if (HasControlCharacter(programPath))
    return false;
  std::error_code error;
  fs::create_directories(directory_, error);
  std::string entry = "[Desktop Entry]\nType=Application\n";
  entry += "Name=" + name_ + "\n";
  entry += "Comment=Keeps your dynamic DNS names pointed at this machine\n";
  entry += "Exec=" + QuoteExecArgument(programPath) + "\n";
  entry += "X-GNOME-Autostart-enabled=true\n";
  return WriteFileAtomically(EntryFile().string(), entry);
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
  // A '%' starts a field code ("%f", "%u"); a literal one is "%%".
  std::string argument;
  for (const char c : path) {
    argument += c;
    if (c == '%')
      argument += '%';
  }
  if (argument.find_first_of(kReservedInExec) != std::string::npos) {
    std::string quoted = "\"";
    for (const char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\')
        quoted += '\\';
      quoted += c;
    }
    argument = quoted + "\"";
  }
  // The value's own escapes come on top of the quoting: each backslash is written twice, so a
  // backslash of the path becomes four.
  std::string value;
  for (const char c : argument) {
    value += c;
    if (c == '\\')
      value += '\\';
  }
  return value;
}

std::optional<std::string> UnquoteExecArgument(std::string_view exec) {
  const std::string unescaped = UnescapeValue(exec);
  const std::string_view command = unescaped;
  std::string argument;
  if (command.empty() || command.front() != '"') {
    // Unquoted: the program ends at the first blank (arguments may follow).
    argument = std::string(command.substr(0, command.find(' ')));
  } else {
    bool closed = false;
    for (std::size_t i = 1; i < command.size() && !closed; ++i) {
      if (command[i] == '\\' && i + 1 < command.size()) {
        argument += command[++i];
      } else if (command[i] == '"') {
        closed = true;
      } else {
        argument += command[i];
      }
    }
    if (!closed)
      return std::nullopt;
  }
  std::string path;
  for (std::size_t i = 0; i < argument.size(); ++i) {
    path += argument[i];
    if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%')
      ++i;
  }
  return path;
}

AutoStartEntry& ClientAutoStart() {
  static XdgAutoStart entry(DefaultAutoStartDirectory(), "Quorin");
  return entry;
}

}  // namespace quorin::platform
