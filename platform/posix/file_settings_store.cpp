#include "platform/posix/file_settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "common/text_tools.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/posix/unique_fd.h"

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadChunk = 64 * 1024;

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
    if (end == std::string_view::npos)
      break;
    start = end + 1;
  }
  return parts;
}

// The entry of `directory` named `name`, compared without regard to ASCII case; `name` itself
// when no such entry exists yet.
fs::path FindEntry(const fs::path& directory, const std::string& name) {
  std::error_code error;
  const fs::path exact = directory / name;
  if (fs::exists(exact, error))
    return exact;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    if (EqualsIgnoreCase(it->path().filename().string(), name))
      return it->path();
  }
  return exact;
}

enum class ReadState {
  Missing,  // no file: a key without values
  Whole,    // the content is the whole file
  Cut,      // the file is larger than a store file may be; the content is its first lines
  Failed,   // the file exists but could not be read
};

struct KeyFileContent {
  ReadState state = ReadState::Failed;
  std::string content;
};

KeyFileContent ReadKeyFile(const fs::path& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd)
    return {errno == ENOENT ? ReadState::Missing : ReadState::Failed, {}};
  KeyFileContent read{ReadState::Whole, {}};
  // One byte beyond the limit tells a file at the limit from a larger one.
  while (read.content.size() <= kMaxStoreFileBytes) {
    const std::size_t done = read.content.size();
    const std::size_t want = std::min(kReadChunk, kMaxStoreFileBytes + 1 - done);
    read.content.resize(done + want);
    const ssize_t n = ::read(fd.get(), read.content.data() + done, want);
    if (n < 0 && errno == EINTR) {
      read.content.resize(done);
      continue;
    }
    if (n < 0)
      return {ReadState::Failed, {}};
    read.content.resize(done + static_cast<std::size_t>(n));
    if (n == 0)
      return read;
  }
  // Only complete lines count: a line cut at the limit could give a wrong value.
  const std::size_t lastLineEnd = read.content.rfind('\n', kMaxStoreFileBytes - 1);
  read.content.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
  read.state = ReadState::Cut;
  return read;
}

// Creates the missing directories of `directory` readable by their owner only: the store holds
// the account's settings.
bool MakeDirectories(const fs::path& directory) {
  std::error_code error;
  if (fs::is_directory(directory, error))
    return true;
  fs::path partial;
  for (const auto& part : directory) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
  }
  return fs::is_directory(directory, error);
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
  std::size_t i = 0;
  while (i < line.size()) {
    // Plain runs are copied whole; only escapes, the first '=' and a carriage return need a
    // look of their own.
    const std::size_t special = line.find_first_of(sawEquals ? "\\\r" : "\\=\r", i);
    const std::size_t runEnd = special == std::string_view::npos ? line.size() : special;
    out->append(line.substr(i, runEnd - i));
    if (runEnd == line.size())
      break;
    i = runEnd;
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      const char next = line[i + 1];
      *out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
      i += 2;
    } else if (c == '=') {
      sawEquals = true;
      out = &text;
      ++i;
    } else {
      // A carriage return ending the line comes from a file edited with CRLF line ends.
      if (c != '\r' || i + 1 != line.size())
        *out += c;
      ++i;
    }
  }
  return sawEquals && !name.empty();
}

std::optional<std::string> FindStoreValue(std::string_view content, std::string_view name) {
  std::string lineName, lineText;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos)
      end = content.size();
    if (DecodeStoreLine(content.substr(start, end - start), lineName, lineText) &&
        EqualsIgnoreCase(lineName, name)) {
      return lineText;
    }
    start = end + 1;
  }
  return std::nullopt;
}

StoreFileLines::StoreFileLines(std::string_view content) {
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos)
      end = content.size();
    Line line;
    line.raw = std::string(content.substr(start, end - start));
    line.isValue = DecodeStoreLine(line.raw, line.name, line.text);
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

std::optional<std::string> StoreFileLines::Find(std::string_view name) const {
  for (const Line& line : lines_) {
    if (line.isValue && EqualsIgnoreCase(line.name, name))
      return line.text;
  }
  return std::nullopt;
}

bool StoreFileLines::Set(std::string_view name, std::string_view text) {
  if (name.empty())
    return false;
  bool found = false;
  for (auto it = lines_.begin(); it != lines_.end();) {
    if (!it->isValue || !EqualsIgnoreCase(it->name, name)) {
      ++it;
    } else if (found) {
      it = lines_.erase(it);
    } else {
      found = true;
      if (it->text != text) {
        it->text = std::string(text);
        it->raw = EncodeStoreLine(it->name, text);
      }
      ++it;
    }
  }
  if (!found)
    lines_.push_back(Line{EncodeStoreLine(name, text), true, std::string(name), std::string(text)});
  return true;
}

bool StoreFileLines::Remove(std::string_view name) {
  const auto erased = std::erase_if(
      lines_, [&](const Line& line) { return line.isValue && EqualsIgnoreCase(line.name, name); });
  return erased != 0;
}

std::string StoreFileLines::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.raw;
    text += '\n';
  }
  return text;
}

FileSettingsStore::FileSettingsStore(fs::path directory, Options options)
    : directory_(std::move(directory)), options_(std::move(options)) {}

std::optional<fs::path> FileSettingsStore::KeyFile(RootKey root, std::string_view keyPath) const {
  const auto parts = KeyParts(keyPath);
  if (!parts)
    return std::nullopt;
  fs::path path = FindEntry(directory_, std::string(RootKeyName(root)));
  for (std::size_t i = 0; i + 1 < parts->size(); ++i)
    path = FindEntry(path, (*parts)[i]);
  return FindEntry(path, parts->back() + ".ini");
}

std::optional<std::string> FileSettingsStore::Read(RootKey root, std::string_view keyPath,
                                                   std::string_view name) {
  if (name.empty())
    return std::nullopt;
  const auto file = KeyFile(root, keyPath);
  if (!file)
    return std::nullopt;
  const KeyFileContent read = ReadKeyFile(*file);
  if (read.state == ReadState::Missing || read.state == ReadState::Failed)
    return std::nullopt;
  // The first line of a name is the value, so a value found in the lines of a cut read is
  // the one a whole read would give.
  return FindStoreValue(read.content, name);
}

bool FileSettingsStore::Write(RootKey root, std::string_view keyPath, std::string_view name,
                              std::string_view text) {
  if (name.empty())
    return false;
  return Change(root, keyPath, [&](StoreFileLines& lines) { return lines.Set(name, text); });
}

bool FileSettingsStore::Remove(RootKey root, std::string_view keyPath, std::string_view name) {
  if (name.empty())
    return true;  // such a value can never exist here
  const auto file = KeyFile(root, keyPath);
  if (!file)
    return true;  // a key that cannot exist holds no value
  std::error_code error;
  if (!fs::exists(*file, error))
    return true;
  return Change(root, keyPath, [&](StoreFileLines& lines) { return lines.Remove(name); });
}

bool FileSettingsStore::CreateKey(RootKey root, std::string_view keyPath) {
  const auto file = KeyFile(root, keyPath);
  std::error_code error;
  if (file && fs::is_regular_file(*file, error))
    return true;  // also a file too large to change: the key exists
  // An unchanged content is still written when the file does not exist yet.
  return Change(root, keyPath, [](StoreFileLines&) { return false; });
}

bool FileSettingsStore::KeyExists(RootKey root, std::string_view keyPath) {
  const auto file = KeyFile(root, keyPath);
  if (!file)
    return false;
  std::error_code error;
  if (fs::is_regular_file(*file, error))
    return true;
  // A key that only has sub-keys exists as their directory.
  fs::path directory = *file;
  directory.replace_extension();
  return fs::is_directory(directory, error);
}

bool FileSettingsStore::Change(RootKey root, std::string_view keyPath,
                               const std::function<bool(StoreFileLines&)>& edit) {
  std::lock_guard guard(mutex_);
  if (!MakeDirectories(directory_))
    return false;
  const FileLock lock =
      FileLock::Acquire((directory_ / ".lock").string(), FileLock::Mode::Exclusive);
  if (!lock)
    return false;

  const auto file = KeyFile(root, keyPath);
  if (!file || !MakeDirectories(file->parent_path()))
    return false;
  // Every writer holds the lock while its temporary file exists, so any found now is left by a
  // writer that was killed.
  RemoveStaleTemporaryFiles(file->string());

  const KeyFileContent read = ReadKeyFile(*file);
  // A change based on a read that failed or was cut would drop every value not read.
  if (read.state == ReadState::Failed || read.state == ReadState::Cut)
    return false;
  StoreFileLines lines(read.content);
  if (!edit(lines) && read.state == ReadState::Whole)
    return true;
  const std::string content = lines.Text();
  // A file larger than the limit could not be read whole again.
  if (content.size() > kMaxStoreFileBytes)
    return false;

  AtomicWriteOptions write;
  if (options_.beforeReplace) {
    write.beforeReplace = [&](const std::string& temporary) {
      return options_.beforeReplace(fs::path(temporary));
    };
  }
  return WriteFileAtomically(file->string(), content, write);
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
