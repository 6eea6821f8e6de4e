// address_change_check <address>: opens the system's address-change notifier, prints "ready",
// then, looking at the machine's addresses only after an announcement, waits until <address>
// is there ("added") and then gone again ("removed"). Exit status 0 when both were announced,
// 1 when 20 s passed without the announcement that was due, 2 for no notifier or bad usage.
#include <algorithm>
#include <cstdio>

#include "platform/adapters.h"
#include "platform/address_change_notifier.h"

using namespace quorin;

static bool Holds(const Ipv4Address& address) {
  const auto adapters = platform::ListNetworkAdapters();
  return adapters && std::any_of(adapters->begin(), adapters->end(), [&](const auto& adapter) {
           return std::count(adapter.ipv4Addresses.begin(), adapter.ipv4Addresses.end(), address);
         });
}

int main(int argc, char** argv) {
  const auto address = argc == 2 ? ParseInetAddr(argv[1]) : std::nullopt;
  const auto notifier = platform::OpenAddressChangeNotifier();
  if (!address || !notifier)
    return 2;
  std::printf("ready\n");
  std::fflush(stdout);
  for (const bool held : {true, false}) {
    do {
      if (notifier->Changes().WaitFor(platform::SystemClock(), 20000, {}) !=
          platform::ChangeWaitEnd::kSignalled) {
        std::printf("FAILED: no announcement while waiting for the address to be %s\n",
                    held ? "added" : "removed");
        return 1;
      }
      notifier->Changes().Take();
    } while (Holds(*address) != held);
    std::printf("%s\n", held ? "added" : "removed");
    std::fflush(stdout);
  }
  return 0;
}
