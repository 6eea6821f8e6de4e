// The update host's answer to the address question is one datagram from the network: any
// bytes must pass, and an accepted answer must be the datagram's text exactly as the server
// wrote it.
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
  Require(*address == text);               // kept as written, never rewritten through the parser
  Require(*address != "255.255.255.255");  // the parser's "no address" is never an answer
  Require(quorin::ParseInetAddr(*address) == quorin::ParseInetAddr(text));
  Require(quorin::client::ReadAddressReply(*address) == address);
  // Bytes after the text, and a text's tail past 127 characters, change nothing.
  std::string padded(text);
  padded.append(1, '\0').append(datagram.substr(text.size()));
  Require(quorin::client::ReadAddressReply(padded) == address);
  return 0;
}
