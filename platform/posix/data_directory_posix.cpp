#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "platform/data_directory.h"
#include "platform/posix/file_settings_store.h"

namespace quorin::platform {

std::string ClientDataDirectory() {
  return DefaultStoreDirectory().string();
}

bool UseStoreDirectory(const std::string& directory) {
  return ::setenv("QUORINFREE_STORE", directory.c_str(), 1) == 0;
}

bool StoreIsUsable(std::string& problem) {
  const std::filesystem::path directory = DefaultStoreDirectory();
  std::error_code error;
  if (!std::filesystem::exists(directory, error)) {
    std::filesystem::create_directories(directory, error);
    if (!error) {
      std::filesystem::permissions(directory, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace, error);
    }
  }
  if (!std::filesystem::is_directory(directory, error)) {
    problem = "the settings store \"" + directory.string() + "\" is not a directory";
    return false;
  }
  if (::access(directory.c_str(), R_OK | W_OK | X_OK) != 0) {
    problem = "the settings store \"" + directory.string() + "\" cannot be read and written";
    return false;
  }
  return true;
}

}  // namespace quorin::platform
