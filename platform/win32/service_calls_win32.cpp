#include "platform/win32/service_calls.h"

namespace quorin::platform {

ServiceCalls& CurrentServiceCalls() {
  static ServiceCalls calls;
  return calls;
}

}  // namespace quorin::platform
