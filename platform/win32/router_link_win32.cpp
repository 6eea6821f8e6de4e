// The router link on Windows: the default route from IP Helper's IPv4 routing table and winsock
// datagram sockets. The table's metric is the one `route print` shows, which on Vista and later
// adds the interface's metric to the route's: the sum Windows itself compares. (The newer
// GetIpForwardTable2 holds the route's part only, and the interface's part would take
// GetIpInterfaceEntry, which Wine 8 does not implement.) A Windows socket cannot bind the group
// address, so the listener binds 0.0.0.0 and joins the group naming the interface by its own
// IPv4 address; miniupnpc's SSDP search on Windows takes the interface in that form too.
// winsock2.h before windows.h, and both before the IP Helper header, which needs them.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <iphlpapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <vector>

#include "platform/igd_query.h"
#include "platform/network.h"
#include "platform/route_table.h"
#include "platform/router_link.h"
#include "platform/udp_socket.h"
#include "platform/win32/socket_address.h"
#include "platform/win32/unique_socket.h"
#include "platform/win32/winsock_udp_socket.h"

namespace quorin::platform {
namespace {

// IP Helper fills a caller's buffer and reports the size it needs when that is too small. The
// table may grow between two calls, so the size is asked again a few times, within a bound that
// the tables of a machine with many interfaces stay far below.
constexpr ULONG kFirstTableBytes = 16 * 1024;
constexpr ULONG kMaxTableBytes = 4 * 1024 * 1024;
constexpr int kTableReads = 4;

// The rows of an IP Helper table (a DWORD count, then the rows) that `read(table, &size)`
// wrote into `buffer`; nothing when it fails or keeps asking for more room. The count is
// trusted only as far as the rows fit in the buffer.
template <typename Table, typename Row, typename Read>
std::optional<std::span<const Row>> ReadIpHelperTable(std::vector<DWORD>& buffer, Read read) {
  ULONG size = kFirstTableBytes;
  for (int attempt = 0; attempt < kTableReads; ++attempt) {
    buffer.assign((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    ULONG room = static_cast<ULONG>(buffer.size() * sizeof(DWORD));
    const DWORD status = read(reinterpret_cast<Table*>(buffer.data()), &room);
    if (status == ERROR_INSUFFICIENT_BUFFER && room > size && room <= kMaxTableBytes) {
      // Some room for rows added before the next call.
      size = std::min(room + room / 4, kMaxTableBytes);
      continue;
    }
    if (status == ERROR_NO_DATA)
      return std::span<const Row>();
    if (status != NO_ERROR)
      return std::nullopt;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    const std::size_t bytes = buffer.size() * sizeof(DWORD);
    const std::size_t fit = (bytes - offsetof(Table, table)) / sizeof(Row);
    return std::span<const Row>(table->table, std::min<std::size_t>(table->dwNumEntries, fit));
  }
  return std::nullopt;
}

Ipv4Address AddressOf(DWORD networkOrder) {
  Ipv4Address address{};
  std::memcpy(address.data(), &networkOrder, address.size());
  return address;
}

// The first IPv4 address of the interface with the system's number `interfaceIndex` that is in
// use; nothing when it has none.
std::optional<Ipv4Address> InterfaceAddress(unsigned interfaceIndex) {
  std::vector<DWORD> buffer;
  const auto rows = ReadIpHelperTable<MIB_IPADDRTABLE, MIB_IPADDRROW>(
      buffer,
      [](MIB_IPADDRTABLE* table, ULONG* size) { return ::GetIpAddrTable(table, size, FALSE); });
  if (!rows)
    return std::nullopt;
  constexpr unsigned kNotInUse = MIB_IPADDR_DISCONNECTED | MIB_IPADDR_DELETED;
  for (const MIB_IPADDRROW& row : *rows) {
    if (row.dwIndex == interfaceIndex && row.dwAddr != 0 && (row.wType & kNotInUse) == 0)
      return AddressOf(row.dwAddr);
  }
  return std::nullopt;
}

class WindowsRouterLink : public RouterLink {
 public:
  std::optional<DefaultRoute> FindDefaultRoute() override {
    std::vector<DWORD> buffer;
    const auto table = ReadIpHelperTable<MIB_IPFORWARDTABLE, MIB_IPFORWARDROW>(
        buffer, [](MIB_IPFORWARDTABLE* routes, ULONG* size) {
          return ::GetIpForwardTable(routes, size, FALSE);
        });
    if (!table)
      return std::nullopt;
    std::vector<RouteRow> rows;
    rows.reserve(table->size());
    for (const MIB_IPFORWARDROW& route : *table) {
      rows.push_back(RouteRow{AddressOf(route.dwForwardDest), AddressOf(route.dwForwardMask),
                              AddressOf(route.dwForwardNextHop),
                              route.dwForwardType == MIB_IPROUTE_TYPE_INDIRECT,
                              route.dwForwardMetric1, route.dwForwardIfIndex});
    }
    return ChooseDefaultRoute(rows);
  }

  std::unique_ptr<UdpSocket> OpenMulticastListener(const Ipv4Address& group, std::uint16_t port,
                                                   unsigned interfaceIndex) override {
    auto session = std::make_unique<NetworkSession>();
    if (!session->ok())
      return nullptr;
    const auto local = InterfaceAddress(interfaceIndex);
    if (!local)
      return nullptr;
    UniqueSocket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!socket)
      return nullptr;
    // Address reuse lets other listeners on the machine (another client, a system service)
    // share the port; each of them gets every datagram sent to the group.
    const BOOL on = TRUE;
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                     sizeof on) != 0) {
      return nullptr;
    }
    const sockaddr_in any = SocketAddress(Ipv4Address{}, port);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
      return nullptr;
    ip_mreq membership{};
    std::memcpy(&membership.imr_multiaddr, group.data(), group.size());
    std::memcpy(&membership.imr_interface, local->data(), local->size());
    if (::setsockopt(socket.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP,
                     reinterpret_cast<const char*>(&membership), sizeof membership) != 0) {
      return nullptr;
    }
    return MakeWinsockUdpSocket(std::move(session), std::move(socket));
  }

  std::unique_ptr<UdpSocket> OpenSocket() override { return SystemUdpNetwork().Open(); }

  std::optional<Ipv4Address> AskIgdExternalAddress(const DefaultRoute& route) override {
    // miniupnpc on Windows takes the search's interface as its dotted IPv4 address only.
    const auto local = InterfaceAddress(route.interfaceIndex);
    if (!local)
      return std::nullopt;
    return igd_.ExternalAddress(route.gateway, FormatIpv4(*local));
  }

 private:
  IgdQuery igd_;  // used by the watcher's thread only
};

}  // namespace

std::unique_ptr<RouterLink> OpenRouterLink() {
  return std::make_unique<WindowsRouterLink>();
}

}  // namespace quorin::platform
