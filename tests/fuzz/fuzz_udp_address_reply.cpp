// The update host's answer to the address question is one datagram from the network: any
// bytes must pass, and an accepted answer must be a plain dotted address that stands for what
// the datagram said.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/monitor/udp_address_query.h"
#include "common/ipv4.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

void Require(bool holds) {
  if (!holds)
    std::abort();
}

// Four decimal numbers 0..255 without leading zeros, joined by dots.
bool IsPlainDotted(std::string_view text) {
  int parts = 0;
  std::size_t at = 0;
  while (true) {
    std::size_t end = text.find('.', at);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view part = text.substr(at, end - at);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
      return false;
    int value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9')
        return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255)
      return false;
    ++parts;
    if (end == text.size())
      return parts == 4;
    at = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view datagram(reinterpret_cast<const char*>(data), size);
  const auto address = quorin::client::ReadAddressReply(datagram);

  // What the client reads: the text up to the first zero byte, at most 127 characters.
  const std::string_view text = datagram.substr(0, datagram.find('\0')).substr(0, 127);
  if (!address) {
    Require(!quorin::IsDottedAddress(text));
    return 0;
  }
  Require(IsPlainDotted(*address));
  Require(*address != "255.255.255.255");  // the parser's "no address" is never an answer
  Require(quorin::ParseInetAddr(*address) == quorin::ParseInetAddr(text));
  Require(quorin::client::ReadAddressReply(*address) == address);
  // Bytes after the text, and a text's tail past 127 characters, change nothing.
  std::string padded(text);
  padded.append(1, '\0').append(datagram.substr(text.size()));
  Require(quorin::client::ReadAddressReply(padded) == address);
  return 0;
}
