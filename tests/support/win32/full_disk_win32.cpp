#include "tests/support/full_disk.h"

namespace quorin::testing {

std::optional<int> RunOnFullDisk(std::uint64_t, const std::function<int()>&) {
  return std::nullopt;
}

std::optional<unsigned> PosixMode(const std::filesystem::path&) {
  return std::nullopt;
}

}  // namespace quorin::testing
