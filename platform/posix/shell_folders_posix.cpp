#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/shell_folders.h"

namespace quorin::platform {

std::optional<std::string> SpecialFolderPath(int folderId) {
  if (folderId != kDesktopFolder)
    return std::nullopt;  // no all-users programs menu here
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0')
    return std::nullopt;
  return std::string(home) + "/Desktop";
}

bool DeleteFileAt(std::string_view path) {
  if (path.empty())
    return false;
  return ::unlink(std::string(path).c_str()) == 0;  // refuses directories, like DeleteFile
}

bool RenameFileAt(std::string_view from, std::string_view to) {
  if (from.empty() || to.empty())
    return false;
  const std::string source(from);
  const std::string target(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  // A file system without the no-replace rename: look first, then rename.
  struct stat existing;
  if (::lstat(target.c_str(), &existing) == 0)
    return false;
  return ::rename(source.c_str(), target.c_str()) == 0;
}

}  // namespace quorin::platform
