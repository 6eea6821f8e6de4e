#include "client/monitor/udp_address_query.h"

#include <algorithm>

#include "client/protocol/provider_config.h"
#include "common/ipv4.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kMaxAddressLength = 127;
constexpr std::chrono::milliseconds kStopCheckInterval{200};

}  // namespace

std::string BuildAddressDatagram(const AccountCredentials& credentials) {
  // The update host reads the system code page; the user name was checked against it at the
  // login, so nothing is sent with '?' in a character's place.
  const std::string utf8 =
      credentials.userName + ";" + credentials.key + ";" + credentials.randText;
  std::string text = platform::SystemTextFromUtf8(utf8).value_or(std::string());
  // The context's fields keep the text far below the datagram size; the cut only guards
  // callers that pass longer texts, and leaves room for the terminating zero.
  text = platform::CutSystemText(text, kAddressDatagramSize - 1);
  text.resize(kAddressDatagramSize, '\0');
  return text;
}

std::optional<std::string> ReadAddressReply(std::string_view datagram) {
  std::string_view text = datagram.substr(0, datagram.find('\0'));
  text = text.substr(0, kMaxAddressLength);
  // Kept as the server wrote it: rewriting through the parser would turn "010.1.2.3" (octal
  // to the parser) into another address than the one the server meant.
  if (!IsDottedAddress(text))
    return std::nullopt;
  return std::string(text);
}

std::string QueryPublicAddressUdp(const AccountCredentials& credentials, std::string_view host,
                                  platform::UdpNetwork& network, UdpQueryOptions options,
                                  platform::StopToken stop) {
  const auto deadline = SteadyClock::now() + options.timeout;
  const auto address = network.Resolve(host, options.timeout, stop);
  if (!address || SteadyClock::now() >= deadline)
    return std::string();
  auto socket = network.Open();
  if (!socket)
    return std::string();
  if (!socket->SendTo(*address, options.port, BuildAddressDatagram(credentials))) {
    return std::string();
  }
  while (!stop.StopRequested()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0)
      break;
    const platform::UdpReceive got =
        socket->Receive(kAddressDatagramSize, std::min(left, kStopCheckInterval));
    if (got.status == platform::UdpReceiveStatus::kFailed)
      break;
    if (got.status != platform::UdpReceiveStatus::kDatagram)
      continue;
    if (got.datagram.sender != *address || got.datagram.senderPort != options.port)
      continue;
    // The host answered: an empty or unusable text ends this attempt, the next host is asked.
    return ReadAddressReply(got.datagram.bytes).value_or(std::string());
  }
  return std::string();
}

std::string QueryPublicAddress(const AccountCredentials& credentials, const Settings& settings,
                               platform::UdpNetwork& network, UdpQueryOptions options,
                               platform::StopToken stop) {
  std::string address =
      QueryPublicAddressUdp(credentials, UpdateHostPrimary(settings), network, options, stop);
  if (address.empty() && !stop.StopRequested()) {
    address =
        QueryPublicAddressUdp(credentials, UpdateHostSecondary(settings), network, options, stop);
  }
  return address;
}

}  // namespace quorin::client
