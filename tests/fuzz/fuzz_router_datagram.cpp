// A datagram on the router's ports is outside input from anyone on the LAN: any bytes must
// pass, and whatever is accepted must be exactly one of the two protocols' whole messages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "client/monitor/router_datagram.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

void Require(bool holds) {
  if (!holds)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorin::client::RouterMessageKind;
  const std::string_view datagram(reinterpret_cast<const char*>(data), size);
  const auto message = quorin::client::ParseRouterDatagram(datagram);
  if (!message)
    return 0;
  if (message->kind == RouterMessageKind::kExternalAddress) {
    Require(datagram[0] == 0 && static_cast<std::uint8_t>(datagram[1]) == 128);
    Require(size == 12 || (size == 8 && message->resultCode != 0));
    // An address exactly for a successful answer, and then the datagram's last four bytes.
    Require(message->externalAddress.has_value() == (message->resultCode == 0));
    if (message->externalAddress) {
      for (std::size_t i = 0; i < 4; ++i)
        Require((*message->externalAddress)[i] == static_cast<std::uint8_t>(datagram[8 + i]));
    }
  } else {
    Require(datagram[0] == 2 && static_cast<std::uint8_t>(datagram[1]) == 0x80);
    Require(size >= 24 && size <= 1100 && size % 4 == 0);
    Require(!message->externalAddress);
  }
  return 0;
}
