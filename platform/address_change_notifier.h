// Tells when the machine's own IPv4 addresses or routes change, so that the address monitor
// can look again within seconds instead of at its next minute.
//
// Linux: a netlink route socket subscribed to IPv4 address and route changes, read by a thread
// of its own that ends at once when the notifier goes. Windows: the IP Helper notifications
// (NotifyUnicastIpAddressChange, NotifyIpInterfaceChange and NotifyRouteChange2, looked up at
// run time), else NotifyAddrChange with an event. In both, the system's thread or callback does
// nothing but set the signal.
#pragma once

#include <memory>

#include "platform/change_signal.h"

namespace quorin::platform {

class AddressChangeNotifier {
 public:
  // Destroying the notifier ends its registration and its thread before it returns.
  virtual ~AddressChangeNotifier() = default;
  // Set at every change the system announces.
  virtual ChangeSignal& Changes() = 0;
};

// The system's notifier, or nothing where the system offers none or it cannot be set up.
std::unique_ptr<AddressChangeNotifier> OpenAddressChangeNotifier();

}  // namespace quorin::platform
