// The DNS messages of the confirmation check: an A query for one name, and the reading of the
// server's answer. Pure functions over bytes, so that tests and the fuzzer can call them.
//
// An answer counts only when it is a response to this very query: the same id, and one
// question with the same name (letter case aside), type A and class IN. Anything that does not
// hold together (lengths beyond the message, a name pointer that does not lead backwards, a
// name longer than 255 bytes, an A record whose data is not four bytes) is malformed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ipv4.h"

namespace quorin::client {

// A standard query with recursion desired for the A record of `name` ("www.example.net", a
// final dot allowed). Nothing for a name that DNS cannot carry: an empty label, a label longer
// than 63 bytes, or more than 255 bytes in wire form.
std::optional<std::string> BuildDnsQuery(std::uint16_t id, std::string_view name);

enum class DnsReplyKind {
  kAnswer,     // a response to the query; `address` holds its first A record, if any
  kUnrelated,  // a well-formed message that answers something else (another id or question)
  kMalformed,  // not a DNS message that can be read
};

struct DnsReply {
  DnsReplyKind kind = DnsReplyKind::kMalformed;
  int responseCode = 0;  // the RCODE of an answer (0: no error, 3: no such name ...)
  std::optional<Ipv4Address> address;
};

// Reads `message` as the answer to the query BuildDnsQuery(id, name) made. The first A record
// of the answer section counts, whatever its owner name (a CNAME chain leads to it); an answer
// with an error code carries no address.
DnsReply ParseDnsReply(std::string_view message, std::uint16_t id, std::string_view name);

}  // namespace quorin::client
