#include "platform/reverse_lookup.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace quorin::platform {
namespace {

// Shared by the caller and the worker, so a caller that gave up never has its memory written
// by a worker still inside the resolver.
struct ReverseResult {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool found = false;
};

}  // namespace

std::optional<Ipv4Address> ReverseLookupIPv4(const Ipv4Address& address, int timeoutMs) {
  auto result = std::make_shared<ReverseResult>();
  try {
    std::thread([result, address] {
      const bool found = ReverseLookupBlocking(address);
      std::lock_guard lock(result->mutex);
      result->found = found;
      result->finished = true;
      result->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  std::unique_lock lock(result->mutex);
  if (!result->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return result->finished; })) {
    return std::nullopt;
  }
  if (!result->found)
    return std::nullopt;
  return address;
}

}  // namespace quorin::platform
