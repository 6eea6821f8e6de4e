// Watches the system's announcements of address changes for one address:
//   address_change_check <address>
// Opens the notifier and prints "ready"; then, looking at the machine's addresses only when a
// change is announced, waits until <address> is there ("announced: added"), and then until it
// is gone again ("announced: removed"). Exit status 0 when both were announced, 1 when 20 s
// passed without the announcement that was due, 2 for a usage error or no notifier.
#include <algorithm>
#include <cstdio>

#include "common/ipv4.h"
#include "platform/adapters.h"
#include "platform/address_change_notifier.h"
#include "platform/clock.h"

namespace {

constexpr std::int64_t kPatienceMs = 20000;

bool Holds(const quorin::Ipv4Address& address) {
  const auto adapters = quorin::platform::ListNetworkAdapters();
  if (!adapters)
    return false;
  return std::any_of(adapters->begin(), adapters->end(), [&](const auto& adapter) {
    const auto& held = adapter.ipv4Addresses;
    return std::find(held.begin(), held.end(), address) != held.end();
  });
}

// Waits for announcements until the machine holds the address (or no longer does).
bool AwaitAnnounced(quorin::platform::ChangeSignal& changes, const quorin::Ipv4Address& address,
                    bool held) {
  while (true) {
    if (changes.WaitFor(quorin::platform::SystemClock(), kPatienceMs, {}) !=
        quorin::platform::ChangeWaitEnd::kSignalled) {
      return false;
    }
    changes.Take();
    if (Holds(address) == held)
      return true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto address = argc == 2 ? quorin::ParseInetAddr(argv[1]) : std::nullopt;
  if (!address) {
    std::fprintf(stderr, "usage: %s <IPv4 address>\n", argv[0]);
    return 2;
  }
  const auto notifier = quorin::platform::OpenAddressChangeNotifier();
  if (!notifier) {
    std::printf("no address-change notifier on this system\n");
    return 2;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  if (!AwaitAnnounced(notifier->Changes(), *address, true)) {
    std::printf("FAILED: the new address %s was not announced\n", argv[1]);
    return 1;
  }
  std::printf("announced: added\n");
  std::fflush(stdout);
  if (!AwaitAnnounced(notifier->Changes(), *address, false)) {
    std::printf("FAILED: the removal of %s was not announced\n", argv[1]);
    return 1;
  }
  std::printf("announced: removed\n");
  return 0;
}
