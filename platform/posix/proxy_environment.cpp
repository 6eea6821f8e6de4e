#include "platform/posix/proxy_environment.h"

#include <algorithm>
#include <cstdlib>

#include "common/ipv4.h"
#include "common/text_tools.h"

namespace quorin::platform {
namespace {

std::optional<std::string> NonEmpty(const EnvironmentLookup& environment, const char* name) {
  std::optional<std::string> value = environment(name);
  if (value && TrimText(*value).empty())
    return std::nullopt;
  return value;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const long value = std::strtol(std::string(digits).c_str(), nullptr, 10);
  if (value <= 0 || value > 65535)
    return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

std::uint32_t HostOrder(const Ipv4Address& address) {
  return (std::uint32_t(address[0]) << 24) | (std::uint32_t(address[1]) << 16) |
         (std::uint32_t(address[2]) << 8) | std::uint32_t(address[3]);
}

// One entry of the list against the host: a name (and its sub-domains), an address, a network.
bool EntryCovers(std::string_view entry, std::string_view host) {
  if (entry == "*")
    return true;
  const std::size_t slash = entry.find('/');
  if (slash != std::string_view::npos) {
    const auto network = ParseInetAddr(entry.substr(0, slash));
    const auto address = ParseInetAddr(host);
    const std::string_view bits = entry.substr(slash + 1);
    if (!network || !address || !IsDottedAddress(host) || bits.empty() || bits.size() > 2 ||
        bits.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    const int prefix = std::atoi(std::string(bits).c_str());
    if (prefix > 32)
      return false;
    const std::uint32_t mask = prefix == 0 ? 0u : 0xFFFFFFFFu << (32 - prefix);
    return (HostOrder(*network) & mask) == (HostOrder(*address) & mask);
  }
  if (!entry.empty() && entry.front() == '.')
    entry.remove_prefix(1);
  if (entry.empty())
    return false;
  if (EqualsIgnoreCase(entry, host))
    return true;
  return host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
         EqualsIgnoreCase(host.substr(host.size() - entry.size()), entry);
}

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group <<= 8;
      if (k < count)
        group |= static_cast<unsigned char>(bytes[i + k]);
    }
    for (std::size_t k = 0; k < 4; ++k)
      out += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

}  // namespace

std::optional<ProxyServer> ParseProxyText(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
    rest.remove_prefix(1);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
    rest.remove_suffix(1);
  const std::size_t scheme = rest.find("://");
  if (scheme != std::string_view::npos) {
    if (!EqualsIgnoreCase(rest.substr(0, scheme), "http"))
      return std::nullopt;
    rest.remove_prefix(scheme + 3);
  }
  rest = rest.substr(0, rest.find('/'));
  ProxyServer proxy;
  const std::size_t at = rest.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view credentials = rest.substr(0, at);
    const std::size_t colon = credentials.find(':');
    proxy.user = PercentDecoded(credentials.substr(0, colon));
    if (colon != std::string_view::npos)
      proxy.password = PercentDecoded(credentials.substr(colon + 1));
    rest.remove_prefix(at + 1);
  }
  const std::size_t colon = rest.find(':');
  if (colon != std::string_view::npos) {
    const auto port = ParsePort(rest.substr(colon + 1));
    if (!port)
      return std::nullopt;
    proxy.port = *port;
    rest = rest.substr(0, colon);
  }
  if (rest.empty() || rest.find_first_of(" \t\r\n[]") != std::string_view::npos)
    return std::nullopt;
  proxy.host = std::string(rest);
  return proxy;
}

bool NoProxyListCovers(std::string_view list, std::string_view host) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string_view::npos)
      end = list.size();
    const std::string entry = TrimText(list.substr(start, end - start));
    if (EntryCovers(entry, host))
      return true;
    start = end + 1;
  }
  return false;
}

ProxyRoute ProxyRouteFor(std::string_view host, const EnvironmentLookup& environment) {
  std::optional<std::string> proxyText = NonEmpty(environment, "http_proxy");
  if (!proxyText)
    proxyText = NonEmpty(environment, "all_proxy");
  if (!proxyText)
    proxyText = NonEmpty(environment, "ALL_PROXY");
  if (!proxyText)
    return {};
  std::optional<std::string> exempt = NonEmpty(environment, "no_proxy");
  if (!exempt)
    exempt = NonEmpty(environment, "NO_PROXY");
  if (exempt && NoProxyListCovers(*exempt, host))
    return {};
  const std::optional<ProxyServer> proxy = ParseProxyText(*proxyText);
  if (!proxy)
    return {ProxyRoute::Kind::kUnsupported, {}};
  return {ProxyRoute::Kind::kProxy, *proxy};
}

ProxyRoute ProxyRouteFromEnvironment(std::string_view host) {
  return ProxyRouteFor(host, [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr)
      return std::nullopt;
    return std::string(value);
  });
}

std::string ProxyAuthorization(const ProxyServer& proxy) {
  return "Basic " + Base64(proxy.user + ":" + proxy.password);
}

}  // namespace quorin::platform
