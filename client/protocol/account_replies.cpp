#include "client/protocol/account_replies.h"

#include "client/texts/string_table.h"
#include "common/text_tools.h"

namespace quorin::client {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::size_t kMaxAddressLength = 127;

}  // namespace

AccountReply ReadAccountReply(std::string_view reply, const ReplyCodeTable& codes,
                              const ClientTexts& texts) {
  AccountReply answer;
  std::string rest(reply);
  if (codes.Parse(rest, answer.message)) {
    answer.status = AccountReplyStatus::kAccepted;
    answer.body = std::move(rest);
    return answer;
  }
  if (answer.message.empty())
    answer.message = texts.Get(text_id::kServerUnreachable);
  return answer;
}

AccountReply ReadSaveReply(std::string_view reply, const ReplyCodeTable& codes,
                           const ClientTexts& texts) {
  const std::size_t headerEnd = reply.find(kHeaderEnd);
  if (headerEnd == std::string_view::npos) {
    AccountReply answer;
    answer.status = AccountReplyStatus::kNoHeaderEnd;
    answer.message = texts.Get(text_id::kServerUnreachable);
    return answer;
  }
  return ReadAccountReply(TrimText(reply.substr(headerEnd + kHeaderEnd.size())), codes, texts);
}

AccountReply ReadAddressHttpReply(std::string_view reply, const ReplyCodeTable& codes,
                                  const ClientTexts& texts) {
  AccountReply answer = ReadAccountReply(reply, codes, texts);
  answer.body = CutText(answer.body, kMaxAddressLength);
  return answer;
}

}  // namespace quorin::client
