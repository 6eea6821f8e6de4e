#include "platform/debug_log_files.h"

namespace quorin::platform {

DebugLogFiles UpdaterDebugLogFiles() {
  return {"C:\\BRWK_EnableDebug", "C:\\Brenwick.log"};
}

}  // namespace quorin::platform
