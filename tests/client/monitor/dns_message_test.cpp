#include "client/monitor/dns_message.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/client/monitor/dns_test_messages.h"

namespace quorin::client {
namespace {

using testing::ARecord;
using testing::ARecordData;
using testing::DnsAnswerFor;
using testing::DnsRecord;
using testing::RecordWithData;

constexpr std::uint16_t kId = 0x1234;

std::string Query(std::string_view name = "www.example.net") {
  return BuildDnsQuery(kId, name).value();
}

TEST(BuildDnsQuery, WritesOneQuestionForTheARecord) {
  const std::string expected = std::string("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12) +
                               std::string(
                                   "\x03www\x07"
                                   "example\x03net\x00",
                                   17) +
                               std::string("\x00\x01\x00\x01", 4);
  EXPECT_EQ(BuildDnsQuery(kId, "www.example.net"), expected);
  EXPECT_EQ(BuildDnsQuery(kId, "www.example.net."), expected) << "a final dot changes nothing";

  EXPECT_FALSE(BuildDnsQuery(kId, "")) << "no name";
  EXPECT_FALSE(BuildDnsQuery(kId, ".")) << "the root alone is no host";
  EXPECT_FALSE(BuildDnsQuery(kId, "www..example.net")) << "empty label";
  EXPECT_FALSE(BuildDnsQuery(kId, ".example.net")) << "empty first label";
  EXPECT_TRUE(BuildDnsQuery(kId, std::string(63, 'a') + ".net")) << "63 bytes is the limit";
  EXPECT_FALSE(BuildDnsQuery(kId, std::string(64, 'a') + ".net"));

  // Four labels of 63 bytes need 4 * 64 + 1 = 257 bytes on the wire: too long.
  const std::string label(63, 'b');
  EXPECT_FALSE(BuildDnsQuery(kId, label + "." + label + "." + label + "." + label));
  EXPECT_TRUE(BuildDnsQuery(kId, label + "." + label + "." + label + "." + std::string(61, 'c')))
      << "255 bytes on the wire still fit";
}

TEST(ParseDnsReply, TakesTheFirstARecordOfAMatchingAnswer) {
  const std::string query = Query();
  DnsRecord cname;
  cname.type = 5;
  cname.data = std::string(
      "\x03"
      "web\xC0\x10",
      6);  // web.example.net, compressed
  DnsRecord first = ARecord(198, 51, 100, 7);
  first.ownerWire = std::string(
      "\x03"
      "web\xC0\x10",
      6);
  DnsRecord second = ARecord(198, 51, 100, 8);

  const DnsReply reply =
      ParseDnsReply(DnsAnswerFor(query, {cname, first, second}), kId, "www.example.net");
  EXPECT_EQ(reply.kind, DnsReplyKind::kAnswer);
  ASSERT_TRUE(reply.address);
  EXPECT_EQ(FormatIpv4(*reply.address), "198.51.100.7") << "the CNAME is passed over";

  EXPECT_EQ(ParseDnsReply(DnsAnswerFor(query, {first}), kId, "WWW.Example.NET").kind,
            DnsReplyKind::kAnswer)
      << "names compare without regard to letter case";

  const DnsReply noRecord = ParseDnsReply(DnsAnswerFor(query, {cname}), kId, "www.example.net");
  EXPECT_EQ(noRecord.kind, DnsReplyKind::kAnswer);
  EXPECT_FALSE(noRecord.address);

  const DnsReply noSuchName =
      ParseDnsReply(DnsAnswerFor(query, {first}, 3), kId, "www.example.net");
  EXPECT_EQ(noSuchName.kind, DnsReplyKind::kAnswer);
  EXPECT_EQ(noSuchName.responseCode, 3);
  EXPECT_FALSE(noSuchName.address) << "an error answer carries no address";
}

TEST(ParseDnsReply, IgnoresAnswersToOtherQuestions) {
  const std::string query = Query();
  const std::string answer = DnsAnswerFor(query, {ARecord(1, 2, 3, 4)});

  EXPECT_EQ(ParseDnsReply(answer, kId + 1, "www.example.net").kind, DnsReplyKind::kUnrelated)
      << "another id";
  EXPECT_EQ(ParseDnsReply(answer, kId, "ftp.example.net").kind, DnsReplyKind::kUnrelated)
      << "another name";
  EXPECT_EQ(ParseDnsReply(answer, kId, "www.example.net.com").kind, DnsReplyKind::kUnrelated)
      << "a longer name";
  EXPECT_EQ(ParseDnsReply(query, kId, "www.example.net").kind, DnsReplyKind::kUnrelated)
      << "a query is no answer";

  std::string mxQuestion = answer;
  mxQuestion[12 + 17 + 1] = 15;  // question type MX
  EXPECT_EQ(ParseDnsReply(mxQuestion, kId, "www.example.net").kind, DnsReplyKind::kUnrelated);
}

TEST(ParseDnsReply, CountsBrokenMessagesAsMalformed) {
  const std::string query = Query();
  const std::string answer = DnsAnswerFor(query, {ARecord(1, 2, 3, 4), ARecord(5, 6, 7, 8)});
  ASSERT_TRUE(ParseDnsReply(answer, kId, "www.example.net").address);

  // Every message cut short is refused, also one cut behind the first A record.
  for (std::size_t length = 0; length < answer.size(); ++length) {
    const DnsReply cut = ParseDnsReply(answer.substr(0, length), kId, "www.example.net");
    EXPECT_NE(cut.kind, DnsReplyKind::kAnswer) << "cut to " << length << " bytes";
    EXPECT_FALSE(cut.address) << "cut to " << length << " bytes";
  }

  const DnsReply longA =
      ParseDnsReply(DnsAnswerFor(query, {RecordWithData(std::string("\x01\x02\x03\x04\x05", 5))}),
                    kId, "www.example.net");
  EXPECT_EQ(longA.kind, DnsReplyKind::kMalformed) << "an A record of five bytes";

  DnsRecord selfPointer = ARecord(1, 2, 3, 4);
  selfPointer.ownerWire = std::string("\xC0\x21", 2);  // points at itself (offset 33)
  EXPECT_EQ(ParseDnsReply(DnsAnswerFor(query, {selfPointer}), kId, "www.example.net").kind,
            DnsReplyKind::kMalformed)
      << "a pointer loop";

  DnsRecord forward = ARecord(1, 2, 3, 4);
  forward.ownerWire = std::string("\xC0\x30", 2);  // points ahead into the record
  EXPECT_EQ(ParseDnsReply(DnsAnswerFor(query, {forward}), kId, "www.example.net").kind,
            DnsReplyKind::kMalformed)
      << "a pointer that leads forwards";

  DnsRecord reservedLabel = ARecord(1, 2, 3, 4);
  reservedLabel.ownerWire = std::string("\x41", 1);
  EXPECT_EQ(ParseDnsReply(DnsAnswerFor(query, {reservedLabel}), kId, "www.example.net").kind,
            DnsReplyKind::kMalformed);

  std::string tooMany = answer;
  tooMany[7] = 3;  // three answer records announced, two present
  EXPECT_EQ(ParseDnsReply(tooMany, kId, "www.example.net").kind, DnsReplyKind::kMalformed);
}

TEST(ParseDnsReply, SurvivesMutatedAnswers) {
  // The fuzz target explores further; this keeps a quick deterministic sweep in the unit run.
  const std::string query = Query();
  const std::string seed = DnsAnswerFor(query, {ARecord(9, 8, 7, 6)});
  std::mt19937 random(4);
  int answers = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string input = seed;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % input.size();
      if (random() % 4 == 0) {
        input.resize(at);
        if (input.empty())
          break;
      } else {
        input[at] = static_cast<char>(random() & 0xff);
      }
    }
    const DnsReply reply = ParseDnsReply(input, kId, "www.example.net");
    if (reply.kind == DnsReplyKind::kAnswer) {
      ++answers;
      // Only a message that carries the query's id and the response bit is an answer.
      ASSERT_GE(input.size(), 12u);
      EXPECT_EQ(input.substr(0, 2), query.substr(0, 2));
      EXPECT_NE(static_cast<unsigned char>(input[2]) & 0x80, 0);
    }
  }
  EXPECT_GT(answers, 0) << "some mutations keep the message intact";
}

}  // namespace
}  // namespace quorin::client
