#include "platform/atomic_file.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// True for the names the backends give their temporary files, "<target>.tmp" followed by
// digits and dashes (older versions wrote "<target>.tmp" and "<target>.tmp<process>").
bool IsTemporaryName(std::string_view name, std::string_view target) {
  const std::string prefix = std::string(target) + ".tmp";
  if (name.size() < prefix.size() || name.substr(0, prefix.size()) != prefix)
    return false;
  for (const char c : name.substr(prefix.size())) {
    if ((c < '0' || c > '9') && c != '-')
      return false;
  }
  return true;
}

}  // namespace

void RemoveStaleTemporaryFiles(const std::string& path) {
  const fs::path target = PathFromUtf8(path);
  const std::string targetName = Utf8FromPath(target.filename());
  if (targetName.empty())
    return;
  fs::path directory = target.parent_path();
  if (directory.empty())
    directory = ".";
  std::error_code error;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (IsTemporaryName(Utf8FromPath(it->path().filename()), targetName) &&
        it->is_regular_file(typeError)) {
      stale.push_back(it->path());
    }
  }
  for (const auto& file : stale)
    fs::remove(file, error);
}

}  // namespace quorin::platform
