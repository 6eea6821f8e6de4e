// IPv4 address texts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorin {

// An IPv4 address in network byte order (bytes[0] is the first number of the dotted text).
using Ipv4Address = std::array<std::uint8_t, 4>;

// Parses an address text the way the classic inet_addr does: one to four numbers separated by
// dots, each decimal, octal (leading 0) or hexadecimal (leading 0x); the last number fills the
// remaining bytes ("10.1" is 10.0.0.1). Unlike some C libraries nothing may follow the address,
// not even a blank, so "1.2.3.4 junk" is rejected.
std::optional<Ipv4Address> ParseInetAddr(std::string_view text);

// True for a non-empty text that parses as an IPv4 address other than 255.255.255.255
// (the value inet_addr also returns for errors, so callers never accepted it).
bool IsDottedAddress(std::string_view text);

// The usual dotted-decimal form "a.b.c.d".
std::string FormatIpv4(const Ipv4Address& address);

}  // namespace quorin
