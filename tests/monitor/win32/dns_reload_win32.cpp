#include "tests/monitor/test_environment.h"

namespace quorin::testing {

// A Windows program cannot signal the server; it notices the rewritten file by itself.
void ReloadDnsServer(const std::string& /*pidFile*/) {}

}  // namespace quorin::testing
