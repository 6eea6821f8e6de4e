// Waiting in tests for something another thread or process does. The limit only turns a test
// that went wrong into a failure instead of a hang: it is far above what any machine needs,
// so no outcome depends on the machine's speed.
#pragma once

#include <chrono>
#include <thread>

namespace quorin::testing {

inline constexpr std::chrono::seconds kPatience{60};

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = kPatience) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace quorin::testing
