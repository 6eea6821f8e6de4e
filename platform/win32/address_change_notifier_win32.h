// The two Windows notifiers behind OpenAddressChangeNotifier, each on its own, so that the
// older one can be tested on a system that has the newer.
#pragma once

#include <memory>

#include "platform/address_change_notifier.h"

namespace quorin::platform {

// The IP Helper notifications of Vista and later; nothing where iphlpapi.dll lacks them.
std::unique_ptr<AddressChangeNotifier> OpenIpHelperNotifier();
// NotifyAddrChange with an event, waited on by a thread of its own.
std::unique_ptr<AddressChangeNotifier> OpenAddrChangeNotifier();

}  // namespace quorin::platform
