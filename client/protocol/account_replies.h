// The replies of the account requests, read without the network: what the reply code says
// and what each request takes from the rest. The requests in account_requests.h call these
// after their exchange; the fuzz targets call them with any bytes.
#pragma once

#include <string>
#include <string_view>

#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"

namespace quorin::client {

enum class AccountReplyStatus {
  kAccepted,     // the code "00": `body` is the rest of the reply
  kRefused,      // any other code, or none: `message` is for the user (and the log)
  kNoHeaderEnd,  // a save's reply without "\r\n\r\n": `message` is for the user only
};

struct AccountReply {
  AccountReplyStatus status = AccountReplyStatus::kRefused;
  std::string message;  // empty when accepted
  std::string body;     // empty unless accepted
};

// A bare reply text (domain list, upgrade information): the code, then the rest. A reply that
// carries no known code (an empty reply, a web server's error page) reads as text 57704,
// "cannot reach the server", so the user never sees an empty message.
AccountReply ReadAccountReply(std::string_view reply, const ReplyCodeTable& codes,
                              const ClientTexts& texts);

// The save's HTTP/1.0 response: the text after the first "\r\n\r\n", trimmed, then its code.
AccountReply ReadSaveReply(std::string_view reply, const ReplyCodeTable& codes,
                           const ClientTexts& texts);

// The address request's reply: as ReadAccountReply, the body (the address) cut to 127
// characters.
AccountReply ReadAddressHttpReply(std::string_view reply, const ReplyCodeTable& codes,
                                  const ClientTexts& texts);

}  // namespace quorin::client
