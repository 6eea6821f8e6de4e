#include "tests/support/environment.h"

namespace quorin::testing {

bool RunningUnderWine() {
  return false;
}

}  // namespace quorin::testing
