#include "client/monitor/router_datagram.h"

namespace quorin::client {
namespace {

constexpr std::uint8_t kNatPmpVersion = 0;
constexpr std::uint8_t kPcpVersion = 2;
constexpr std::uint8_t kExternalAddressAnswer = 128;  // opcode 0 with the answer bit
constexpr std::uint8_t kPcpResponseBit = 0x80;
constexpr std::uint8_t kPcpAnnounceOpcode = 0;
constexpr std::size_t kNatPmpAnswerBytes = 12;
// A router that refuses the request (unsupported version or opcode, RFC 6886 section 3.5)
// may send only the common part: version, opcode, result and epoch.
constexpr std::size_t kNatPmpShortAnswerBytes = 8;
constexpr std::size_t kPcpHeaderBytes = 24;

std::uint16_t Read16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>((static_cast<std::uint8_t>(bytes[at]) << 8) |
                                    static_cast<std::uint8_t>(bytes[at + 1]));
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
  return (static_cast<std::uint32_t>(Read16(bytes, at)) << 16) | Read16(bytes, at + 2);
}

std::optional<RouterMessage> ParseNatPmp(std::string_view bytes) {
  if (static_cast<std::uint8_t>(bytes[1]) != kExternalAddressAnswer)
    return std::nullopt;
  RouterMessage message;
  message.kind = RouterMessageKind::kExternalAddress;
  if (bytes.size() == kNatPmpAnswerBytes) {
    message.resultCode = Read16(bytes, 2);
    message.secondsSinceEpoch = Read32(bytes, 4);
    if (message.resultCode == kNatPmpSuccess) {
      Ipv4Address address{};
      for (std::size_t i = 0; i < address.size(); ++i)
        address[i] = static_cast<std::uint8_t>(bytes[8 + i]);
      message.externalAddress = address;
    }
    return message;
  }
  // Only a refusal may be short: a success without its address is no answer.
  if (bytes.size() != kNatPmpShortAnswerBytes || Read16(bytes, 2) == kNatPmpSuccess)
    return std::nullopt;
  message.resultCode = Read16(bytes, 2);
  message.secondsSinceEpoch = Read32(bytes, 4);
  return message;
}

std::optional<RouterMessage> ParsePcp(std::string_view bytes) {
  // A PCP message is a whole number of 32-bit words, the header at least; ANNOUNCE has no
  // opcode-specific part, options may follow and are of no use here.
  if (bytes.size() < kPcpHeaderBytes || bytes.size() > kRouterDatagramMaxBytes ||
      bytes.size() % 4 != 0) {
    return std::nullopt;
  }
  if (static_cast<std::uint8_t>(bytes[1]) != (kPcpResponseBit | kPcpAnnounceOpcode))
    return std::nullopt;
  RouterMessage message;
  message.kind = RouterMessageKind::kPcpAnnounce;
  message.resultCode = static_cast<std::uint8_t>(bytes[3]);
  message.secondsSinceEpoch = Read32(bytes, 8);
  return message;
}

}  // namespace

std::optional<RouterMessage> ParseRouterDatagram(std::string_view bytes) {
  if (bytes.size() < 2)
    return std::nullopt;
  switch (static_cast<std::uint8_t>(bytes[0])) {
    case kNatPmpVersion:
      return ParseNatPmp(bytes);
    case kPcpVersion:
      return ParsePcp(bytes);
    default:
      return std::nullopt;
  }
}

std::string ExternalAddressRequest() {
  return std::string(2, '\0');
}

}  // namespace quorin::client
