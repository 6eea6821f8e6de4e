// Address texts come from servers and settings: the parser must take any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/ipv4.h"
#include "tests/fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto address = quorin::ParseInetAddr(text);
  if (address &&
      quorin::IsDottedAddress(text) != (*address != quorin::Ipv4Address{255, 255, 255, 255})) {
    std::abort();  // the two must agree on every parsable text
  }
  if (address) {
    // The dotted form of a parsed address parses back to the same address.
    if (quorin::ParseInetAddr(quorin::FormatIpv4(*address)) != address)
      std::abort();
  }
  return 0;
}
