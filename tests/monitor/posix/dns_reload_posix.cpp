#include <signal.h>
#include <sys/types.h>

#include <fstream>

#include "tests/monitor/test_environment.h"

namespace quorin::testing {

void ReloadDnsServer(const std::string& pidFile) {
  std::ifstream in(pidFile);
  long pid = 0;
  if (in >> pid && pid > 1)
    ::kill(static_cast<pid_t>(pid), SIGHUP);
}

}  // namespace quorin::testing
