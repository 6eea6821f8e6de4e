#include <unistd.h>

#include "tests/support/environment.h"

namespace quorin::testing {

bool RunningUnderWine() {
  return false;
}

unsigned long ProcessId() {
  return static_cast<unsigned long>(::getpid());
}

}  // namespace quorin::testing
