// The external address that the LAN's UPnP Internet Gateway Device reports, asked through
// miniupnpc: SSDP discovery of a WANIPConnection or WANPPPConnection service on the default
// route's interface, its device description, then the SOAP action GetExternalIPAddress. The
// service found is kept, so that later questions cost one SOAP exchange; it is looked for
// again when that fails. Only a service whose control address is the gateway counts.
#pragma once

#include <optional>
#include <string>

#include "common/ipv4.h"

namespace quorin::platform {

class IgdQuery {
 public:
  // Nothing when no such service answers within the library's time-outs (SSDP waits
  // kDiscoveryMs, each HTTP exchange a few seconds) or it reports no address.
  std::optional<Ipv4Address> ExternalAddress(const Ipv4Address& gateway, unsigned interfaceIndex);

 private:
  struct Service {
    std::string controlUrl;
    std::string serviceType;
    Ipv4Address gateway{};
  };
  std::optional<Service> Discover(const Ipv4Address& gateway, unsigned interfaceIndex);

  std::optional<Service> service_;
};

}  // namespace quorin::platform
