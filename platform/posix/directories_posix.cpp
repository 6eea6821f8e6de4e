#include <sys/stat.h>

#include <cstdlib>

#include "platform/directories.h"

namespace quorin::platform {

bool DirectoryExists(std::string_view path) {
  if (path.empty())
    return false;
  struct stat status {};
  return ::stat(std::string(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool MakeDirectory(std::string_view path) {
  if (path.empty())
    return false;
  return ::mkdir(std::string(path).c_str(), 0777) == 0;
}

std::string TemporaryDirectory() {
  const char* given = std::getenv("TMPDIR");
  std::string directory = (given != nullptr && given[0] == '/') ? given : "/tmp";
  if (directory.back() != '/')
    directory += '/';
  return directory;
}

}  // namespace quorin::platform
