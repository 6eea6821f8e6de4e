// The external address that the LAN's UPnP Internet Gateway Device reports, asked through
// miniupnpc: SSDP discovery of a WANIPConnection or WANPPPConnection service on the default
// route's interface, its device description, then the SOAP action GetExternalIPAddress. The
// service found is kept, so that later questions cost one SOAP exchange; it is looked for
// again when that fails. Only devices whose description lies at the gateway are asked, and
// only a service whose control address is the gateway counts. Both backends ask through this
// class; each names the interface in the form its system takes.
#pragma once

#include <optional>
#include <string>

#include "common/ipv4.h"

namespace quorin::platform {

class IgdQuery {
 public:
  // `searchInterface` is the interface the SSDP search leaves by, as miniupnpc takes it: a
  // name ("eth0") on Linux, the interface's own IPv4 address in dotted form on Windows (which
  // takes no name; Linux takes either). Nothing when no such service answers within the
  // library's time-outs (SSDP waits 1 s, each HTTP exchange a few seconds; on Windows the
  // library leaves a TCP connect to the system's limit, about 21 s, which only a gateway that
  // answers the search and then drops the connection reaches) or it reports no address.
  std::optional<Ipv4Address> ExternalAddress(const Ipv4Address& gateway,
                                             const std::string& searchInterface);

 private:
  struct Service {
    std::string controlUrl;
    std::string serviceType;
    Ipv4Address gateway{};
  };
  std::optional<Service> Discover(const Ipv4Address& gateway, const std::string& searchInterface);

  std::optional<Service> service_;
};

}  // namespace quorin::platform
