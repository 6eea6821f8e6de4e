#include "client/local/folder_path.h"

#include <string>

#include "platform/directories.h"
#include "platform/program_folder.h"

namespace quorin::client {
namespace {

bool IsSeparator(char c) {
  return c == '/' || c == platform::PathSeparator();
}

}  // namespace

bool DirectoryExists(std::string_view path) {
  return platform::DirectoryExists(path);
}

bool CreateDirectoryPath(std::string_view path) {
  while (!path.empty() && IsSeparator(path.back()))
    path.remove_suffix(1);
  if (path.empty())
    return false;
  if (platform::DirectoryExists(path))
    return true;
  // Each level from the top down; a level that exists already (the drive, the share of a
  // network path, a folder made before) simply fails to be made again.
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (!IsSeparator(path[i]) || IsSeparator(path[i - 1]) || path[i - 1] == ':')
      continue;
    const std::string_view level = path.substr(0, i);
    if (!platform::DirectoryExists(level))
      platform::MakeDirectory(level);
  }
  platform::MakeDirectory(path);
  return platform::DirectoryExists(path);
}

std::string_view ParentFolder(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1]))
      return path.substr(0, i - 1);
  }
  return {};
}

}  // namespace quorin::client
