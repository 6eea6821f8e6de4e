// The router link on Linux: the default route from /proc/net/route and datagram sockets, the
// listener joined to its group on the route's interface by index (ip_mreqn), so that a machine
// with several interfaces hears the router's announcements on the right one.
#include "platform/router_link.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/igd_query.h"
#include "platform/posix/posix_udp_socket.h"
#include "platform/posix/proc_net_route.h"
#include "platform/posix/socket_address.h"
#include "platform/stdio_file.h"

namespace quorin::platform {
namespace {

constexpr unsigned kRouteUp = 0x1;       // RTF_UP
constexpr unsigned kRouteGateway = 0x2;  // RTF_GATEWAY
// The table of a router with many routes stays far below this; a longer one is cut.
constexpr std::size_t kMaxTableBytes = 256 * 1024;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string_view::npos)
      break;
    const std::size_t end = line.find_first_of(" \t", start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    at = end == std::string_view::npos ? line.size() : end;
  }
  return fields;
}

std::optional<std::uint32_t> ReadHex(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::optional<std::uint32_t> ReadDecimal(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

class PosixRouterLink : public RouterLink {
 public:
  std::optional<DefaultRoute> FindDefaultRoute() override {
    const auto table = ReadTable();
    if (!table)
      return std::nullopt;
    const auto found = ReadDefaultRoute(*table);
    if (!found)
      return std::nullopt;
    const unsigned index = ::if_nametoindex(found->interfaceName.c_str());
    if (index == 0)
      return std::nullopt;
    return DefaultRoute{found->gateway, index};
  }

  std::unique_ptr<UdpSocket> OpenMulticastListener(const Ipv4Address& group, std::uint16_t port,
                                                   unsigned interfaceIndex) override {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
      return nullptr;
    const int on = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
      return nullptr;
    // Port reuse lets another listener that set it too (a second client, a system daemon)
    // share the port; without it address reuse still covers those that set only that.
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    const sockaddr_in local = SocketAddress(Ipv4Address{}, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
      return nullptr;
    ip_mreqn membership{};
    std::memcpy(&membership.imr_multiaddr, group.data(), group.size());
    membership.imr_ifindex = static_cast<int>(interfaceIndex);
    if (::setsockopt(fd.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) !=
        0) {
      return nullptr;
    }
    return MakePosixUdpSocket(std::move(fd));
  }

  std::unique_ptr<UdpSocket> OpenSocket() override { return SystemUdpNetwork().Open(); }

  std::optional<Ipv4Address> AskIgdExternalAddress(const DefaultRoute& route) override {
    // The search names the interface: miniupnpc then sends it out of that interface by its
    // index (ip_mreqn), whichever of the interface's addresses the router's network uses.
    char interfaceName[IF_NAMESIZE] = {};
    if (::if_indextoname(route.interfaceIndex, interfaceName) == nullptr)
      return std::nullopt;
    return igd_.ExternalAddress(route.gateway, interfaceName);
  }

 private:
  static std::optional<std::string> ReadTable() {
    StdioFile file(std::fopen("/proc/net/route", "re"));
    if (!file)
      return std::nullopt;
    std::string table;
    char buffer[4096];
    while (table.size() < kMaxTableBytes) {
      const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
      if (got == 0)
        break;
      table.append(buffer, got);
    }
    return table;
  }

  IgdQuery igd_;  // used by the watcher's thread only
};

}  // namespace

std::optional<ProcDefaultRoute> ReadDefaultRoute(std::string_view table) {
  std::optional<ProcDefaultRoute> best;
  std::uint32_t bestMetric = 0;
  std::size_t at = table.find('\n');  // past the header line
  while (at != std::string_view::npos && at < table.size()) {
    const std::size_t end = table.find('\n', at + 1);
    const std::string_view line =
        table.substr(at + 1, end == std::string_view::npos ? end : end - at - 1);
    at = end;
    const auto fields = SplitFields(line);
    if (fields.size() < 8)
      continue;
    const auto destination = ReadHex(fields[1]);
    const auto gateway = ReadHex(fields[2]);
    const auto flags = ReadHex(fields[3]);
    const auto metric = ReadDecimal(fields[6]);
    const auto mask = ReadHex(fields[7]);
    if (!destination || !gateway || !flags || !metric || !mask)
      continue;
    if (*destination != 0 || *mask != 0 || (*flags & kRouteUp) == 0 ||
        (*flags & kRouteGateway) == 0) {
      continue;
    }
    if (best && *metric >= bestMetric)
      continue;
    ProcDefaultRoute route;
    route.interfaceName = std::string(fields[0]);
    // The kernel prints the address's 32 bits as they lie in memory, which is network order.
    std::memcpy(route.gateway.data(), &*gateway, route.gateway.size());
    best = std::move(route);
    bestMetric = *metric;
  }
  return best;
}

std::unique_ptr<RouterLink> OpenRouterLink() {
  return std::make_unique<PosixRouterLink>();
}

}  // namespace quorin::platform
