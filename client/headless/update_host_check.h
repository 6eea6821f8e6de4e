// A check before the first login: when the name server says that none of the update hosts the
// login would ask exists, no retry can ever succeed, so the client without windows says so and
// ends instead of trying every 30 seconds. A lookup that cannot ask (no network yet, as at
// boot) proves nothing, and the client then starts and retries as usual.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "client/local/settings.h"
#include "platform/network.h"

namespace quorin::client {

using HostLookupFunction = std::function<platform::HostLookup(std::string_view host)>;

// A one-line description of the problem, or empty when at least one update host may exist.
std::string MissingUpdateHostsProblem(const Settings& settings, const HostLookupFunction& lookUp);

}  // namespace quorin::client
