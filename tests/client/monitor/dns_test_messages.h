// DNS answers built by hand for the tests of the parser and of ResolveAtServer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorin::client::testing {

struct DnsRecord {
  std::string ownerWire = std::string("\xC0\x0C", 2);  // a pointer to the question's name
  std::uint16_t type = 1;
  std::uint16_t recordClass = 1;
  std::string data;
};

inline void Append16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xff));
}

inline std::string ARecordData(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                     static_cast<char>(d)};
}

// An A record for the question's name.
inline DnsRecord ARecord(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  DnsRecord record;
  record.data = ARecordData(a, b, c, d);
  return record;
}

inline DnsRecord RecordWithData(std::string data) {
  DnsRecord record;
  record.data = std::move(data);
  return record;
}

// The answer a server gives to `query`: the same id and question, the response flags with
// `responseCode`, and `records` in the answer section.
inline std::string DnsAnswerFor(const std::string& query, const std::vector<DnsRecord>& records,
                                int responseCode = 0) {
  std::string answer = query.substr(0, 2);
  Append16(answer, static_cast<std::uint16_t>(0x8180 | responseCode));
  Append16(answer, 1);
  Append16(answer, static_cast<std::uint16_t>(records.size()));
  Append16(answer, 0);
  Append16(answer, 0);
  answer += query.substr(12);
  for (const DnsRecord& record : records) {
    answer += record.ownerWire;
    Append16(answer, record.type);
    Append16(answer, record.recordClass);
    answer += std::string("\x00\x00\x00\x3C", 4);  // TTL 60
    Append16(answer, static_cast<std::uint16_t>(record.data.size()));
    answer += record.data;
  }
  return answer;
}

}  // namespace quorin::client::testing
