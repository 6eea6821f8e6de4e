#include "common/ipv4.h"

#include <cstdio>

namespace quorin {
namespace {

// Parses one number of an address text starting at `pos`; advances `pos` past it.
std::optional<std::uint64_t> ParsePart(std::string_view text, std::size_t& pos) {
  if (pos >= text.size()) return std::nullopt;
  unsigned base = 10;
  if (text[pos] == '0') {
    base = 8;
    if (pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
      base = 16;
      pos += 2;
    }
  }
  const std::size_t start = pos;
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  // "0x" alone has no digits; a lone "0" was consumed as an octal zero.
  if (pos == start && base == 16) return std::nullopt;
  if (pos == start && base == 10) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Ipv4Address> ParseInetAddr(std::string_view text) {
  std::uint64_t parts[4] = {0, 0, 0, 0};
  std::size_t count = 0;
  std::size_t pos = 0;
  while (true) {
    if (count == 4) return std::nullopt;
    const auto part = ParsePart(text, pos);
    if (!part) return std::nullopt;
    parts[count++] = *part;
    if (pos == text.size()) break;
    if (text[pos] != '.') return std::nullopt;
    ++pos;
  }
  std::uint64_t value = 0;
  switch (count) {
    case 1:
      value = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return std::nullopt;
      value = (parts[0] << 24) | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return std::nullopt;
      value = (parts[0] << 24) | (parts[1] << 16) | parts[2];
      break;
    default:
      for (std::uint64_t p : parts) {
        if (p > 0xFF) return std::nullopt;
      }
      value = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
      break;
  }
  return Ipv4Address{static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                     static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

bool IsDottedAddress(std::string_view text) {
  if (text.empty()) return false;
  const auto address = ParseInetAddr(text);
  return address && *address != Ipv4Address{255, 255, 255, 255};
}

std::string FormatIpv4(const Ipv4Address& address) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", address[0], address[1], address[2],
                address[3]);
  return buffer;
}

}  // namespace quorin
