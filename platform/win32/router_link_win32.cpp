// The router watcher has no Windows backend yet (the IP Helper route lookup and the winsock
// multicast join are still to be written): without a link no watcher starts, and the monitor
// keeps its minute and the system's address notifications.
#include "platform/router_link.h"

namespace quorin::platform {

std::unique_ptr<RouterLink> OpenRouterLink() {
  return nullptr;
}

}  // namespace quorin::platform
