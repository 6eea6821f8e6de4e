#include "client/monitor/dns_message.h"

#include <vector>

namespace quorin::client {
namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxNameWireLength = 255;
constexpr std::size_t kMaxLabelLength = 63;
constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kClassIn = 1;

void Put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xff));
}

std::uint8_t ByteAt(std::string_view message, std::size_t offset) {
  return static_cast<std::uint8_t>(message[offset]);
}

std::uint16_t Read16(std::string_view message, std::size_t offset) {
  return static_cast<std::uint16_t>(ByteAt(message, offset) << 8 | ByteAt(message, offset + 1));
}

// The labels of a dotted name; nothing when one of them cannot be carried.
std::optional<std::vector<std::string_view>> SplitLabels(std::string_view name) {
  if (!name.empty() && name.back() == '.')
    name.remove_suffix(1);
  if (name.empty())
    return std::nullopt;
  std::vector<std::string_view> labels;
  std::size_t wireLength = 1;  // the final zero byte
  while (true) {
    const std::size_t dot = name.find('.');
    const std::string_view label = name.substr(0, dot);
    if (label.empty() || label.size() > kMaxLabelLength)
      return std::nullopt;
    labels.push_back(label);
    wireLength += label.size() + 1;
    if (dot == std::string_view::npos)
      break;
    name.remove_prefix(dot + 1);
  }
  if (wireLength > kMaxNameWireLength)
    return std::nullopt;
  return labels;
}

bool LabelEqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = static_cast<char>(y - 'A' + 'a');
    if (x != y)
      return false;
  }
  return true;
}

// Reads the name at `offset`. On success `next` is the offset behind the name as it stands in
// the message (behind the first pointer, when the name uses one). Pointers must lead to an
// earlier place than the one they stand at, so every walk ends.
bool ReadName(std::string_view message, std::size_t offset, std::vector<std::string>& labels,
              std::size_t& next) {
  labels.clear();
  std::size_t position = offset;
  std::size_t wireLength = 1;
  bool jumped = false;
  while (true) {
    if (position >= message.size())
      return false;
    const std::uint8_t length = ByteAt(message, position);
    if ((length & 0xc0) == 0xc0) {
      if (position + 1 >= message.size())
        return false;
      const std::size_t target = static_cast<std::size_t>(Read16(message, position) & 0x3fff);
      if (target >= position)
        return false;
      if (!jumped)
        next = position + 2;
      jumped = true;
      position = target;
      continue;
    }
    if ((length & 0xc0) != 0)
      return false;  // the reserved label kinds
    if (length == 0) {
      if (!jumped)
        next = position + 1;
      return true;
    }
    wireLength += length + 1u;
    if (wireLength > kMaxNameWireLength)
      return false;
    if (position + 1 + length > message.size())
      return false;
    labels.emplace_back(message.substr(position + 1, length));
    position += 1u + length;
  }
}

}  // namespace

std::optional<std::string> BuildDnsQuery(std::uint16_t id, std::string_view name) {
  const auto labels = SplitLabels(name);
  if (!labels)
    return std::nullopt;
  std::string query;
  Put16(query, id);
  Put16(query, 0x0100);  // a standard query, recursion desired
  Put16(query, 1);       // one question
  Put16(query, 0);
  Put16(query, 0);
  Put16(query, 0);
  for (const std::string_view label : *labels) {
    query.push_back(static_cast<char>(label.size()));
    query.append(label);
  }
  query.push_back('\0');
  Put16(query, kTypeA);
  Put16(query, kClassIn);
  return query;
}

DnsReply ParseDnsReply(std::string_view message, std::uint16_t id, std::string_view name) {
  DnsReply reply;
  const auto expected = SplitLabels(name);
  if (message.size() < kHeaderSize)
    return reply;
  const std::uint16_t flags = Read16(message, 2);
  const std::uint16_t questions = Read16(message, 4);
  const std::uint16_t answers = Read16(message, 6);

  reply.kind = DnsReplyKind::kUnrelated;
  const bool isResponse = (flags & 0x8000) != 0;
  const bool isStandardQuery = ((flags >> 11) & 0x0f) == 0;
  if (Read16(message, 0) != id || !isResponse || !isStandardQuery || questions != 1 || !expected) {
    return reply;
  }

  std::vector<std::string> labels;
  std::size_t offset = kHeaderSize;
  if (!ReadName(message, offset, labels, offset) || offset + 4 > message.size()) {
    reply.kind = DnsReplyKind::kMalformed;
    return reply;
  }
  bool sameName = labels.size() == expected->size();
  for (std::size_t i = 0; sameName && i < labels.size(); ++i) {
    sameName = LabelEqualsIgnoreCase(labels[i], (*expected)[i]);
  }
  if (!sameName || Read16(message, offset) != kTypeA || Read16(message, offset + 2) != kClassIn) {
    return reply;
  }
  offset += 4;

  // Every answer record is read, so a message cut short is noticed even behind the first A.
  std::optional<Ipv4Address> first;
  for (std::uint16_t i = 0; i < answers; ++i) {
    if (!ReadName(message, offset, labels, offset) || offset + 10 > message.size()) {
      reply.kind = DnsReplyKind::kMalformed;
      return reply;
    }
    const std::uint16_t type = Read16(message, offset);
    const std::uint16_t recordClass = Read16(message, offset + 2);
    const std::size_t dataLength = Read16(message, offset + 8);
    offset += 10;
    if (offset + dataLength > message.size()) {
      reply.kind = DnsReplyKind::kMalformed;
      return reply;
    }
    if (type == kTypeA && recordClass == kClassIn) {
      if (dataLength != 4) {
        reply.kind = DnsReplyKind::kMalformed;
        return reply;
      }
      if (!first) {
        Ipv4Address address{};
        for (std::size_t b = 0; b < 4; ++b)
          address[b] = ByteAt(message, offset + b);
        first = address;
      }
    }
    offset += dataLength;
  }

  reply.kind = DnsReplyKind::kAnswer;
  reply.responseCode = flags & 0x0f;
  if (reply.responseCode == 0)
    reply.address = first;
  return reply;
}

}  // namespace quorin::client
