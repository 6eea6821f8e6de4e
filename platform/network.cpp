#include "platform/network.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quorin::platform {
namespace {

// What a lookup worker hands back. Shared between the caller and the worker, so a caller that
// gave up can leave while the worker is still inside the resolver: the worker then writes into
// this record only, never into the caller's memory.
struct LookupResult {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  HostLookup found;
};

}  // namespace

HostLookup LookUpHost(std::string_view host, int timeoutMs) {
  if (host.empty())
    return {};
  if (const auto dotted = ParseInetAddr(host))
    return {dotted, false};
  auto result = std::make_shared<LookupResult>();
  try {
    std::thread([result, name = std::string(host)] {
      HostLookup found = LookupIPv4Blocking(name);
      std::lock_guard lock(result->mutex);
      result->found = found;
      result->finished = true;
      result->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return {};  // no thread could be started
  }
  std::unique_lock lock(result->mutex);
  if (!result->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return result->finished; })) {
    return {};
  }
  return result->found;
}

std::optional<Ipv4Address> ResolveIPv4(std::string_view host, int timeoutMs) {
  return LookUpHost(host, timeoutMs).address;
}

std::string ResolveToAddressText(std::string_view text, int timeoutMs) {
  if (IsDottedAddress(text))
    return std::string(text);
  const auto address = ResolveIPv4(text, timeoutMs);
  return address ? FormatIpv4(*address) : std::string();
}

}  // namespace quorin::platform
