#include "platform/service_control.h"

namespace quorin::platform {

// Systems without the Windows service manager have no service of the client: the client's
// own monitor does all the work there, and the service switch reports "not installed".

void StartServiceByName(std::string_view) {}

void StopServiceByName(std::string_view) {}

int QueryServiceState(std::string_view) {
  return kServiceNotInstalled;
}

}  // namespace quorin::platform
