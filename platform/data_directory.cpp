#include "platform/data_directory.h"

#include "platform/program_folder.h"

namespace quorin::platform {

std::string ClientDataFile(const std::string& name) {
  return ClientDataDirectory() + PathSeparator() + name;
}

}  // namespace quorin::platform
