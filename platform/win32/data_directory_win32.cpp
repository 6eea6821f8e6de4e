#include "platform/data_directory.h"
#include "platform/program_path.h"

namespace quorin::platform {

std::string ClientDataDirectory() {
  return ProgramDirectory().value_or(".");
}

bool UseStoreDirectory(const std::string&) {
  return false;
}

// The registry is always there; a key that cannot be written behaves as the client has always
// handled it (writes fail silently and reads give the defaults).
bool StoreIsUsable(std::string&) {
  return true;
}

}  // namespace quorin::platform
