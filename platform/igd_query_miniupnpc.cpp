#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include <memory>
#include <string_view>

#include "platform/igd_query.h"
#include "platform/network.h"

namespace quorin::platform {
namespace {

// How long SSDP waits for answers; a router on the LAN answers within milliseconds.
constexpr int kDiscoveryMs = 1000;
constexpr unsigned char kDiscoveryTtl = 2;
constexpr int kIgdConnected = 1;  // UPNP_GetValidIGD: a valid IGD that is connected

struct DeviceListDeleter {
  void operator()(UPNPDev* list) const { freeUPNPDevlist(list); }
};
using DeviceList = std::unique_ptr<UPNPDev, DeviceListDeleter>;

// The host of an "http://host:port/path" address as an IPv4 address.
std::optional<Ipv4Address> UrlHost(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos)
    return std::nullopt;
  url.remove_prefix(scheme + 3);
  return ParseInetAddr(url.substr(0, url.find_first_of(":/")));
}

// The devices whose description lies at the gateway, in the order found; the others are freed.
// Only the gateway's descriptions are fetched, so another host on the LAN that answers the
// search can neither point the query elsewhere nor hold it up with an address that never
// answers (a TCP connect there waits for the system's limit, about 21 s on Windows).
DeviceList KeepGatewayDevices(DeviceList devices, const Ipv4Address& gateway) {
  UPNPDev* kept = nullptr;
  UPNPDev** keptEnd = &kept;
  UPNPDev* next = nullptr;
  for (UPNPDev* device = devices.release(); device != nullptr; device = next) {
    next = device->pNext;
    device->pNext = nullptr;
    if (device->descURL != nullptr && UrlHost(device->descURL) == gateway) {
      *keptEnd = device;
      keptEnd = &device->pNext;
    } else {
      freeUPNPDevlist(device);
    }
  }
  return DeviceList(kept);
}

}  // namespace

std::optional<IgdQuery::Service> IgdQuery::Discover(const Ipv4Address& gateway,
                                                    const std::string& searchInterface) {
  int error = 0;
  const DeviceList devices =
      KeepGatewayDevices(DeviceList(upnpDiscover(kDiscoveryMs, searchInterface.c_str(), nullptr,
                                                 UPNP_LOCAL_PORT_ANY, 0, kDiscoveryTtl, &error)),
                         gateway);
  if (!devices)
    return std::nullopt;
  UPNPUrls urls{};
  IGDdatas data{};
  char lanAddress[64] = {};
  const int found = UPNP_GetValidIGD(devices.get(), &urls, &data, lanAddress, sizeof lanAddress);
  std::optional<Service> service;
  if (found == kIgdConnected && urls.controlURL != nullptr && UrlHost(urls.controlURL) == gateway) {
    service = Service{urls.controlURL, data.first.servicetype, gateway};
  }
  if (found != 0)
    FreeUPNPUrls(&urls);
  return service;
}

std::optional<Ipv4Address> IgdQuery::ExternalAddress(const Ipv4Address& gateway,
                                                     const std::string& searchInterface) {
  // The library uses sockets without starting the socket layer (Windows needs that first).
  const NetworkSession session;
  if (!session.ok())
    return std::nullopt;
  if (service_ && service_->gateway != gateway)
    service_.reset();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!service_) {
      service_ = Discover(gateway, searchInterface);
      if (!service_)
        return std::nullopt;
    }
    // The library copies at most 16 bytes ("255.255.255.255" and its end).
    char address[40] = {};
    if (UPNP_GetExternalIPAddress(service_->controlUrl.c_str(), service_->serviceType.c_str(),
                                  address) == UPNPCOMMAND_SUCCESS) {
      // An empty answer: the router knows no external address.
      return ParseInetAddr(address);
    }
    service_.reset();  // the router went or moved its service: look once more
  }
  return std::nullopt;
}

}  // namespace quorin::platform
