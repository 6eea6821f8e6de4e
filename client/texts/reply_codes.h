// The login server's reply codes. Every reply begins with a two-character code; "00" means
// success, the others map to a message for the user.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "client/texts/string_table.h"
#include "common/bounded_text.h"

namespace quorin::client {

class ReplyCodeTable {
 public:
  static constexpr std::size_t kEntryCount = 9;  // six used, three left empty

  ReplyCodeTable();

  // Takes the messages from the string table.
  void Fill(const StringTable& strings);

  // Looks up the reply's first two characters (without regard to case) and removes them from
  // the reply (a reply shorter than three characters becomes empty). True for "00"; otherwise
  // false with the code's message, or an empty one for an unknown code, in `message`.
  bool Parse(std::string& reply, std::string& message) const;

 private:
  struct Entry {
    BoundedText<4> code;
    BoundedText<128> message;
  };
  mutable std::mutex mutex_;
  std::array<Entry, kEntryCount> entries_;
};

// The process's table, filled at start-up.
ReplyCodeTable& ProcessReplyCodes();

// ParseReplyCode with the process's table.
bool ParseReplyCode(std::string& reply, std::string& message);

}  // namespace quorin::client
