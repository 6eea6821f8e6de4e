#include "tests/support/temp_path.h"

#include <atomic>
#include <chrono>

#include "tests/support/environment.h"

namespace quorin::testing {

std::filesystem::path UniqueTempPath(const std::string& stem) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::filesystem::temp_directory_path() /
         (stem + "-" + std::to_string(ProcessId()) + "-" + std::to_string(stamp) + "-" +
          std::to_string(counter++));
}

}  // namespace quorin::testing
