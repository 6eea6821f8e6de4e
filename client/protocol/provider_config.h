// The provider's servers as this client is configured: the update hosts chosen by the type of
// the last login's account, and the provider's web site. Each has a built-in default that a
// settings value overrides ("UpdateHostVip1", "UpdateHostVip2", "UpdateHostFree1",
// "UpdateHostFree2", "ProviderSite"; absent or empty means the default).
#pragma once

#include <string>

#include "client/local/settings.h"

namespace quorin::client {

// The update host for the account type stored at the last login ("vu"): the free hosts when
// none was stored or it reads 0, the VIP hosts otherwise.
std::string UpdateHostPrimary(const Settings& settings);
std::string UpdateHostSecondary(const Settings& settings);

std::string ProviderSite(const Settings& settings);

}  // namespace quorin::client
