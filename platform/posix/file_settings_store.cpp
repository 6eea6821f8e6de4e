#include "platform/posix/file_settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "common/text_tools.h"
#include "platform/posix/unique_fd.h"

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;
using Values = std::vector<std::pair<std::string, std::string>>;

// A store file larger than this is not one of ours; it is read as empty rather than loaded.
constexpr std::uintmax_t kMaxStoreFileBytes = 1 << 20;

void AppendEscaped(std::string& out, std::string_view text, bool isName) {
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '=':
        out += isName ? "\\=" : "=";
        break;
      default:
        out += c;
    }
  }
}

// Splits a key path at its backslashes; nothing when a part cannot be a file name.
std::optional<std::vector<std::string>> KeyParts(std::string_view keyPath) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = keyPath.find('\\', start);
    const std::string_view part =
        keyPath.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
      return std::nullopt;
    }
    parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

// The entry of `directory` named `name`, compared without regard to ASCII case; `name` itself
// when no such entry exists yet.
fs::path FindEntry(const fs::path& directory, const std::string& name) {
  std::error_code error;
  const fs::path exact = directory / name;
  if (fs::exists(exact, error)) return exact;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    if (EqualsIgnoreCase(it->path().filename().string(), name)) return it->path();
  }
  return exact;
}

Values ParseValues(const std::string& content) {
  Values values;
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    std::string name, text;
    if (DecodeStoreLine(line, name, text)) values.emplace_back(std::move(name), std::move(text));
  }
  return values;
}

std::string FormatValues(const Values& values) {
  std::string content;
  for (const auto& [name, text] : values) content += EncodeStoreLine(name, text) + "\n";
  return content;
}

Values::iterator FindValue(Values& values, std::string_view name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualsIgnoreCase(it->first, name)) return it;
  }
  return values.end();
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) return std::nullopt;
  if (size > kMaxStoreFileBytes) return std::string();
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void SyncDirectory(const fs::path& directory) {
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());
}

}  // namespace

std::string EncodeStoreLine(std::string_view name, std::string_view text) {
  std::string line;
  AppendEscaped(line, name, true);
  line += '=';
  AppendEscaped(line, text, false);
  return line;
}

bool DecodeStoreLine(std::string_view line, std::string& name, std::string& text) {
  name.clear();
  text.clear();
  std::string* out = &name;
  bool sawEquals = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      const char next = line[++i];
      *out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else if (c == '=' && !sawEquals) {
      sawEquals = true;
      out = &text;
    } else if (c != '\r' || i + 1 != line.size()) {  // tolerate a file edited with CRLF ends
      *out += c;
    }
  }
  return sawEquals && !name.empty();
}

FileSettingsStore::FileSettingsStore(fs::path directory, Options options)
    : directory_(std::move(directory)), options_(std::move(options)) {}

std::optional<fs::path> FileSettingsStore::KeyFile(RootKey root, std::string_view keyPath) const {
  const auto parts = KeyParts(keyPath);
  if (!parts) return std::nullopt;
  fs::path path = FindEntry(directory_, std::string(RootKeyName(root)));
  for (std::size_t i = 0; i + 1 < parts->size(); ++i) path = FindEntry(path, (*parts)[i]);
  return FindEntry(path, parts->back() + ".ini");
}

std::optional<std::string> FileSettingsStore::Read(RootKey root, std::string_view keyPath,
                                                   std::string_view name) {
  const auto file = KeyFile(root, keyPath);
  if (!file) return std::nullopt;
  const auto content = ReadWholeFile(*file);
  if (!content) return std::nullopt;
  Values values = ParseValues(*content);
  const auto it = FindValue(values, name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool FileSettingsStore::Write(RootKey root, std::string_view keyPath, std::string_view name,
                              std::string_view text) {
  return Change(root, keyPath, [&](std::string& content) {
    Values values = ParseValues(content);
    const auto it = FindValue(values, name);
    if (it == values.end()) {
      values.emplace_back(std::string(name), std::string(text));
    } else {
      it->second = std::string(text);
    }
    content = FormatValues(values);
    return true;
  });
}

bool FileSettingsStore::Remove(RootKey root, std::string_view keyPath, std::string_view name) {
  const auto file = KeyFile(root, keyPath);
  if (!file) return true;  // a key that cannot exist holds no value
  std::error_code error;
  if (!fs::exists(*file, error)) return true;
  return Change(root, keyPath, [&](std::string& content) {
    Values values = ParseValues(content);
    const auto it = FindValue(values, name);
    if (it == values.end()) return false;  // nothing to change
    values.erase(it);
    content = FormatValues(values);
    return true;
  });
}

bool FileSettingsStore::CreateKey(RootKey root, std::string_view keyPath) {
  // An unchanged content is still written when the file does not exist yet.
  return Change(root, keyPath, [](std::string&) { return false; });
}

bool FileSettingsStore::KeyExists(RootKey root, std::string_view keyPath) {
  const auto file = KeyFile(root, keyPath);
  if (!file) return false;
  std::error_code error;
  if (fs::is_regular_file(*file, error)) return true;
  // A key that only has sub-keys exists as their directory.
  fs::path directory = *file;
  directory.replace_extension();
  return fs::is_directory(directory, error);
}

bool FileSettingsStore::Change(RootKey root, std::string_view keyPath,
                               const std::function<bool(std::string& content)>& edit) {
  std::lock_guard guard(mutex_);
  std::error_code error;
  fs::create_directories(directory_, error);
  UniqueFd lockFile(::open((directory_ / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lockFile || ::flock(lockFile.get(), LOCK_EX) != 0) return false;

  const auto file = KeyFile(root, keyPath);
  if (!file) return false;
  fs::create_directories(file->parent_path(), error);
  if (error) return false;

  const bool existed = fs::exists(*file, error);
  std::string content;
  if (existed) {
    auto old = ReadWholeFile(*file);
    if (!old) return false;
    content = std::move(*old);
  }
  if (!edit(content) && existed) return true;

  fs::path temporary = *file;
  temporary += ".tmp" + std::to_string(::getpid());
  {
    UniqueFd out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!out) return false;
    if (!WriteAll(out.get(), content) || ::fsync(out.get()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
  }
  if (options_.beforeReplace && !options_.beforeReplace(temporary)) return false;
  if (::rename(temporary.c_str(), file->c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncDirectory(file->parent_path());
  return true;
}

fs::path DefaultStoreDirectory() {
  if (const char* store = std::getenv("QUORINFREE_STORE"); store != nullptr && *store != '\0') {
    return store;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return fs::path(config) / "quorinfree";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : ".") / ".config" / "quorinfree";
}

SettingsStore& SystemSettingsStore() {
  static FileSettingsStore store(DefaultStoreDirectory());
  return store;
}

}  // namespace quorin::platform
