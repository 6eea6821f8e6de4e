#include "client/texts/reply_codes.h"

#include <gtest/gtest.h>

namespace quorin::client {
namespace {

class ReplyCodesTest : public ::testing::Test {
 protected:
  void SetUp() override { table_.Fill(strings_); }
  BuiltinStringTable strings_;
  ReplyCodeTable table_;
};

TEST_F(ReplyCodesTest, SuccessRemovesTheCodeAndLeavesTheMessageAlone) {
  std::string reply = "00OK";
  std::string message = "untouched";
  EXPECT_TRUE(table_.Parse(reply, message));
  EXPECT_EQ(reply, "OK");
  EXPECT_EQ(message, "untouched");
}

TEST_F(ReplyCodesTest, ErrorCodesGiveTheirMessages) {
  const std::pair<const char*, unsigned> cases[] = {
      {"01x", 57712}, {"02x", 57715}, {"03x", 57716}, {"04x", 57713}, {"99x", 57714}};
  for (const auto& [text, id] : cases) {
    std::string reply = text;
    std::string message;
    EXPECT_FALSE(table_.Parse(reply, message)) << text;
    EXPECT_EQ(message, strings_.Load(id)) << text;
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(reply, "x");
  }
}

TEST_F(ReplyCodesTest, AReplyOfOnlyTheCodeBecomesEmpty) {
  std::string reply = "99";
  std::string message;
  EXPECT_FALSE(table_.Parse(reply, message));
  EXPECT_EQ(reply, "") << "a reply of two characters becomes empty";
  EXPECT_EQ(message, strings_.Load(57714));
}

TEST_F(ReplyCodesTest, UnknownShortAndEmptyRepliesFailWithNoMessage) {
  for (const char* text : {"05abc", "xyz", "0", "", "0A"}) {
    std::string reply = text;
    std::string message = "stale";
    EXPECT_FALSE(table_.Parse(reply, message)) << '"' << text << '"';
    EXPECT_EQ(message, "") << '"' << text << '"';
  }
  std::string oneChar = "0";
  std::string message;
  table_.Parse(oneChar, message);
  EXPECT_EQ(oneChar, "") << "a one-character reply becomes empty";
  std::string unknown = "05abc";
  table_.Parse(unknown, message);
  EXPECT_EQ(unknown, "abc") << "the two characters go even when no code matched";
}

TEST_F(ReplyCodesTest, MessagesAreCutTo127Characters) {
  struct LongStrings : StringTable {
    std::string Load(unsigned) const override { return std::string(300, 'm'); }
  } longStrings;
  table_.Fill(longStrings);
  std::string reply = "01";
  std::string message;
  table_.Parse(reply, message);
  EXPECT_EQ(message.size(), 127u);
}

}  // namespace
}  // namespace quorin::client
