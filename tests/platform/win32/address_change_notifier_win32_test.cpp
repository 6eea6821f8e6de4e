#include "platform/win32/address_change_notifier_win32.h"

#include <gtest/gtest.h>

namespace quorin::platform {
namespace {

// The older notifier's thread waits on the system's request and a stop event; it must end,
// and its request be cancelled, whenever the notifier goes.
TEST(AddressChangeNotifierWin32, TheNotifyAddrChangeFallbackStopsCleanly) {
  for (int i = 0; i < 20; ++i)
    ASSERT_NE(OpenAddrChangeNotifier(), nullptr) << "round " << i;
}

}  // namespace
}  // namespace quorin::platform
