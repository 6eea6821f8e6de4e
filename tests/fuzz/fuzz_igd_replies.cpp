// The router's UPnP answers are outside input from anyone on the LAN who answers the search:
// the device description reaches miniupnpc's parserootdesc and the SOAP reply its
// ParseNameValue. Any bytes must pass them, and what they hand the IGD query (the control
// address, the service type, the reported address) must end inside its field. The first byte
// chooses the parser. (The search's own answers are read inside the library's discovery, which
// has no entry of its own.)
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpreplyparse.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/fuzz_target.h"

namespace {

// A device description or SOAP reply far larger than any router's is cut here, as the library
// reads no more than its HTTP layer received.
constexpr std::size_t kMaxReplyBytes = 1 << 16;
constexpr std::size_t kNameValueBytes = sizeof(NameValue::value);

void Require(bool holds) {
  if (!holds)
    std::abort();
}

bool EndsInside(const char* field, std::size_t size) {
  return std::memchr(field, '\0', size) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const char* reply = reinterpret_cast<const char*>(data + 1);
  const int length = static_cast<int>(std::min(size - 1, kMaxReplyBytes));
  if (data[0] % 2 == 0) {
    IGDdatas description{};
    parserootdesc(reply, length, &description);
    for (const IGDdatas_service* service :
         {&description.CIF, &description.first, &description.second, &description.IPv6FC}) {
      Require(EndsInside(service->controlurl, MINIUPNPC_URL_MAXSIZE));
      Require(EndsInside(service->servicetype, MINIUPNPC_URL_MAXSIZE));
    }
    Require(EndsInside(description.urlbase, MINIUPNPC_URL_MAXSIZE));
  } else {
    NameValueParserData answer{};
    ParseNameValue(reply, length, &answer);
    if (const char* address = GetValueFromNameValueList(&answer, "NewExternalIPAddress"))
      Require(EndsInside(address, kNameValueBytes));
    ClearNameValueList(&answer);
  }
  return 0;
}
