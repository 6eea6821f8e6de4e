#include "client/monitor/resolve_at_server.h"

#include <algorithm>
#include <random>

#include "client/monitor/dns_message.h"
#include "common/ipv4.h"

namespace quorin::client {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kMaxDnsDatagram = 4096;
// Receives wait in slices no longer than this, so a stop request is seen promptly.
constexpr std::chrono::milliseconds kStopCheckInterval{200};

std::uint16_t RandomQueryId() {
  static thread_local std::mt19937 generator{std::random_device{}()};
  return static_cast<std::uint16_t>(generator() & 0xffffu);
}

std::chrono::milliseconds LeftUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

}  // namespace

std::string ResolveAtServer(std::string_view server, std::string_view name, std::uint16_t port,
                            platform::UdpNetwork& network, DnsQueryTimeouts timeouts,
                            platform::StopToken stop) {
  if (server.empty() || name.empty())
    return std::string();
  const auto start = SteadyClock::now();
  const auto deadline = start + timeouts.total;

  const auto serverAddress = network.Resolve(server, timeouts.total, stop);
  if (!serverAddress)
    return std::string();
  const std::uint16_t id = RandomQueryId();
  const auto query = BuildDnsQuery(id, name);
  if (!query)
    return std::string();
  auto socket = network.Open();
  if (!socket)
    return std::string();

  auto nextSend = SteadyClock::now();
  while (!stop.StopRequested()) {
    const auto now = SteadyClock::now();
    if (now >= deadline)
      break;
    if (now >= nextSend) {
      if (!socket->SendTo(*serverAddress, port, *query))
        return std::string();
      nextSend = now + timeouts.resend;
    }
    const auto wait = std::min({LeftUntil(deadline), LeftUntil(nextSend), kStopCheckInterval});
    const platform::UdpReceive got = socket->Receive(kMaxDnsDatagram, wait);
    if (got.status == platform::UdpReceiveStatus::kFailed)
      return std::string();
    if (got.status != platform::UdpReceiveStatus::kDatagram)
      continue;
    if (got.datagram.sender != *serverAddress || got.datagram.senderPort != port)
      continue;
    const DnsReply reply = ParseDnsReply(got.datagram.bytes, id, name);
    // A malformed message or an answer to another question is no answer; the right one may
    // still come.
    if (reply.kind != DnsReplyKind::kAnswer)
      continue;
    return reply.address ? FormatIpv4(*reply.address) : std::string();
  }
  return std::string();
}

}  // namespace quorin::client
