#include "client/headless/update_host_check.h"

#include <vector>

#include "client/protocol/provider_config.h"
#include "common/ipv4.h"

namespace quorin::client {

std::string MissingUpdateHostsProblem(const Settings& settings, const HostLookupFunction& lookUp) {
  // The address of the server that answered last time is asked too, and needs no name server.
  if (const auto remembered = settings.LoginServerAddress();
      remembered && IsDottedAddress(*remembered))
    return {};
  std::vector<std::string> hosts{UpdateHostPrimary(settings)};
  if (const std::string secondary = UpdateHostSecondary(settings); secondary != hosts.front())
    hosts.push_back(secondary);
  std::string names;
  for (const std::string& host : hosts) {
    if (host.empty() || !lookUp(host).noSuchName)
      return {};
    names += (names.empty() ? "\"" : " and \"") + host + "\"";
  }
  const bool one = hosts.size() == 1;
  return std::string(one ? "the update host " : "the update hosts ") + names +
         (one ? " does" : " do") +
         " not exist (the name server knows no IPv4 address); check the settings "
         "\"UpdateHostFree1\", \"UpdateHostFree2\", \"UpdateHostVip1\" and \"UpdateHostVip2\"";
}

}  // namespace quorin::client
