#include "client/protocol/account_replies.h"

#include <gtest/gtest.h>

#include "client/protocol/login.h"
#include "test_settings.h"

namespace quorin::client {
namespace {

class RepliesTest : public ::testing::Test {
 protected:
  std::string Text(unsigned id) { return texts_.Text(id); }
  AccountReply Account(std::string_view reply) {
    return ReadAccountReply(reply, texts_.replyCodes, texts_.texts);
  }
  AccountReply Save(std::string_view reply) {
    return ReadSaveReply(reply, texts_.replyCodes, texts_.texts);
  }

  testing::BuiltinTexts texts_;
};

TEST_F(RepliesTest, AccountRepliesNeverLeaveTheUserWithoutAMessage) {
  AccountReply answer = Account("00zone.net,a,b");
  EXPECT_EQ(answer.status, AccountReplyStatus::kAccepted);
  EXPECT_EQ(answer.body, "zone.net,a,b");
  EXPECT_EQ(answer.message, "");
  EXPECT_EQ(Account("00").body, "") << "a success without a list";

  answer = Account("02");
  EXPECT_EQ(answer.status, AccountReplyStatus::kRefused);
  EXPECT_EQ(answer.message, Text(text_id::kReply02));
  EXPECT_EQ(answer.body, "") << "a refusal carries nothing to parse";
  for (const std::string_view unusable : {"", "0", "05", "<html>404</html>"}) {
    answer = Account(unusable);
    EXPECT_EQ(answer.status, AccountReplyStatus::kRefused) << unusable;
    EXPECT_EQ(answer.message, Text(text_id::kServerUnreachable)) << unusable;
  }

  const std::string longAddress = "00" + std::string(200, '1');
  EXPECT_EQ(ReadAddressHttpReply(longAddress, texts_.replyCodes, texts_.texts).body,
            std::string(127, '1'));
}

TEST_F(RepliesTest, SaveReplyIsReadAfterTheHeaderEnd) {
  EXPECT_EQ(Save("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n 00\r\n").status,
            AccountReplyStatus::kAccepted)
      << "blanks and line ends around the code are trimmed";
  AccountReply answer = Save("00 but no header end\r\n");
  EXPECT_EQ(answer.status, AccountReplyStatus::kNoHeaderEnd);
  EXPECT_EQ(answer.message, Text(text_id::kServerUnreachable));
  EXPECT_EQ(Save("").status, AccountReplyStatus::kNoHeaderEnd) << "a failed exchange";
  answer = Save("HTTP/1.0 200 OK\r\n\r\n");
  EXPECT_EQ(answer.status, AccountReplyStatus::kRefused) << "a header without a reply text";
  EXPECT_EQ(answer.message, Text(text_id::kServerUnreachable));
  EXPECT_EQ(Save("HTTP/1.0 200 OK\r\n\r\n03\r\n\r\n00").message, Text(text_id::kReply03))
      << "only the first header end counts";
}

TEST_F(RepliesTest, LoginReplyTellsNoAnswerFromRefusalFromSuccess) {
  LoginReply answer = ReadLoginReply("<html>Bad Gateway</html>", texts_.replyCodes);
  EXPECT_EQ(answer.status, LoginReplyStatus::kNoCode);
  answer = ReadLoginReply("03key=K", texts_.replyCodes);
  EXPECT_EQ(answer.status, LoginReplyStatus::kRefused);
  EXPECT_EQ(answer.message, Text(text_id::kReply03));
  EXPECT_EQ(answer.values.key, "") << "a refused login takes no key";
  answer = ReadLoginReply("05", texts_.replyCodes);
  EXPECT_EQ(answer.status, LoginReplyStatus::kRefused);
  EXPECT_EQ(answer.message, "") << "the caller shows its own text for an unknown code";

  answer = ReadLoginReply("00key=K1&randText=R1&%a.net,,|www,1.2.3.4,,A", texts_.replyCodes);
  EXPECT_EQ(answer.status, LoginReplyStatus::kAccepted);
  EXPECT_EQ(answer.values.key, "K1");
  EXPECT_EQ(answer.values.randText, "R1");
  EXPECT_EQ(answer.rest, "key=K1&randText=R1&%a.net,,|www,1.2.3.4,,A")
      << "the zone parser takes the list from the rest";
}

}  // namespace
}  // namespace quorin::client
