#include "client/texts/reply_codes.h"

namespace quorin::client {
namespace {

struct CodeText {
  const char* code;
  unsigned textId;
};

constexpr std::array<CodeText, 6> kCodes = {{
    {"00", text_id::kReply00},
    {"01", text_id::kReply01},
    {"02", text_id::kReply02},
    {"03", text_id::kReply03},
    {"04", text_id::kReply04},
    {"99", text_id::kReply99},
}};

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares at most the first two characters, stopping at the end of either text, as a
// case-insensitive strncmp of length 2 does.
bool CodeMatches(std::string_view code, std::string_view reply) {
  for (std::size_t i = 0; i < 2; ++i) {
    const char a = i < code.size() ? code[i] : '\0';
    const char b = i < reply.size() ? reply[i] : '\0';
    if (Lower(a) != Lower(b))
      return false;
    if (a == '\0')
      return true;
  }
  return true;
}

}  // namespace

ReplyCodeTable::ReplyCodeTable() {
  for (std::size_t i = 0; i < kCodes.size(); ++i)
    entries_[i].code = kCodes[i].code;
}

void ReplyCodeTable::Fill(const StringTable& strings) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < kCodes.size(); ++i) {
    entries_[i].message = strings.Load(kCodes[i].textId);
  }
}

bool ReplyCodeTable::Parse(std::string& reply, std::string& message) const {
  std::lock_guard lock(mutex_);
  std::size_t match = kEntryCount;
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    if (CodeMatches(entries_[i].code, reply)) {
      match = i;
      break;
    }
  }
  reply = reply.size() < 3 ? std::string() : reply.substr(2);
  if (match == 0)
    return true;
  message = match < kEntryCount ? entries_[match].message.str() : std::string();
  return false;
}

ReplyCodeTable& ProcessReplyCodes() {
  static ReplyCodeTable table;
  return table;
}

bool ParseReplyCode(std::string& reply, std::string& message) {
  return ProcessReplyCodes().Parse(reply, message);
}

}  // namespace quorin::client
