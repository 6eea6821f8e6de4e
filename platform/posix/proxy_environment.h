// The proxy that a plain-HTTP request goes through, taken from the environment the way curl,
// wget and most Linux tools take it, so that the client follows the same settings as the rest
// of the box (as WinINet follows the system's proxy configuration on Windows).
//
// - "http_proxy", in lower case only: a CGI program receives "HTTP_PROXY" from a client's
//   "Proxy:" header, so the upper-case name cannot be trusted; then "all_proxy", "ALL_PROXY".
// - "no_proxy" (or "NO_PROXY"): a comma-separated list of host names (each also covering its
//   sub-domains; a leading dot is ignored), IPv4 addresses, IPv4 networks ("10.0.0.0/8"), or
//   "*" for every host. An empty variable counts as unset.
// - A proxy is "host", "host:port" or "http://[user:password@]host[:port][/]"; the port is
//   1080 when none is given, as in curl. Other proxy schemes (socks, https) are not supported:
//   the request then fails rather than quietly bypassing the proxy the user set.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorin::platform {

struct ProxyServer {
  std::string host;
  std::uint16_t port = 1080;
  std::string user;  // percent-decoded; empty when the proxy takes no credentials
  std::string password;
};

struct ProxyRoute {
  enum class Kind { kDirect, kProxy, kUnsupported } kind = Kind::kDirect;
  ProxyServer proxy;  // for kProxy
};

// Reads one environment variable: nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// A proxy text as described above; nothing when its scheme is not "http" or it is malformed.
std::optional<ProxyServer> ParseProxyText(std::string_view text);

// Whether "no_proxy"'s list exempts `host` (a name or a dotted IPv4 address).
bool NoProxyListCovers(std::string_view list, std::string_view host);

// The route of a plain-HTTP request to `host`.
ProxyRoute ProxyRouteFor(std::string_view host, const EnvironmentLookup& environment);

// The same with the process's environment.
ProxyRoute ProxyRouteFromEnvironment(std::string_view host);

// The value of a "Proxy-Authorization:" line for the proxy's credentials ("Basic ...").
std::string ProxyAuthorization(const ProxyServer& proxy);

}  // namespace quorin::platform
