// DNS answers come from the network: the confirmation's parser must take any bytes. The id is
// taken from the input itself so that mutations reach the question and the records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "client/monitor/dns_message.h"
#include "tests/fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  const std::uint16_t id =
      size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : std::uint16_t{0};
  const auto reply = quorin::client::ParseDnsReply(message, id, "www.example.net");
  if (reply.kind != quorin::client::DnsReplyKind::kAnswer) {
    if (reply.address)
      std::abort();  // only an answer carries an address
    return 0;
  }
  if (size < 12 || (data[2] & 0x80) == 0)
    std::abort();  // an answer is a response
  if (reply.address) {
    // The address is four bytes of the message itself.
    const std::string_view bytes(reinterpret_cast<const char*>(reply.address->data()), 4);
    if (message.find(bytes, 12) == std::string_view::npos)
      std::abort();
    if (reply.responseCode != 0)
      std::abort();
  }
  return 0;
}
