#include "platform/debug_log_files.h"
#include "platform/posix/file_settings_store.h"

namespace quorin::platform {

DebugLogFiles UpdaterDebugLogFiles() {
  const std::filesystem::path directory = DefaultStoreDirectory();
  return {(directory / "BRWK_EnableDebug").string(), (directory / "Brenwick.log").string()};
}

}  // namespace quorin::platform
