// The replies of the domain-list, save, address and upgrade requests come from the network:
// any bytes must pass, only the code "00" may be accepted, a refusal always carries a
// message for the user, and what an accepted reply yields comes from its body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/protocol/account_replies.h"
#include "client/protocol/upgrade_info.h"
#include "client/protocol/zone_list.h"
#include "client/texts/string_table.h"
#include "common/text_tools.h"
#include "tests/client/protocol/test_settings.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::client::AccountReply;
using quorin::client::AccountReplyStatus;

void Require(bool holds) {
  if (!holds)
    std::abort();
}

const quorin::client::testing::BuiltinTexts& Texts() {
  static const quorin::client::testing::BuiltinTexts texts;
  return texts;
}

// The verdict follows the code at the front of `text` and nothing else.
void CheckVerdict(const AccountReply& answer, std::string_view text) {
  if (text.substr(0, 2) == "00") {
    Require(answer.status == AccountReplyStatus::kAccepted);
    Require(answer.message.empty());
    return;
  }
  Require(answer.status == AccountReplyStatus::kRefused);
  Require(!answer.message.empty());  // never an empty message box or log line
  Require(answer.body.empty());
}

std::size_t Count(std::string_view text, char c) {
  std::size_t count = 0;
  for (const char each : text)
    count += each == c ? 1 : 0;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const auto& codes = Texts().replyCodes;
  const auto& texts = Texts().texts;

  // Domain list and upgrade information: the bare reply text.
  const AccountReply answer = quorin::client::ReadAccountReply(reply, codes, texts);
  CheckVerdict(answer, reply);
  if (answer.status == AccountReplyStatus::kAccepted) {
    Require(answer.body == reply.substr(2));

    quorin::client::testing::TestSettings test;
    quorin::client::ZoneSlots zones;
    bool expired = true;
    quorin::client::ParseZoneList(answer.body, zones, expired, test.settings);
    std::size_t hosts = 0;
    for (const auto& zone : zones) {
      if (!zone)
        continue;
      Require(answer.body.find(zone->zoneName.str()) != std::string::npos);
      for (const auto& host : zone->hosts)
        hosts += host.IsFree() ? 0 : 1;
    }
    Require(hosts <= Count(answer.body, '|'));  // every host record had a field of its own

    quorin::client::UpgradeInfo info;
    quorin::client::ParseUpgradeInfo(answer.body, info);
    Require(info.count >= 0 && info.count <= 10);
    Require(answer.body.rfind(info.text1.str(), 0) == 0);  // the first field
  }

  // Address: the same verdict, the address at most 127 characters of the body.
  const AccountReply address = quorin::client::ReadAddressHttpReply(reply, codes, texts);
  CheckVerdict(address, reply);
  Require(address.body.size() <= 127);
  Require(answer.body.rfind(address.body, 0) == 0);

  // Save: the verdict follows the code after the header end, blanks and line ends trimmed.
  const AccountReply save = quorin::client::ReadSaveReply(reply, codes, texts);
  const std::size_t headerEnd = reply.find("\r\n\r\n");
  if (headerEnd == std::string_view::npos) {
    Require(save.status == AccountReplyStatus::kNoHeaderEnd);
    Require(save.message == texts.Get(quorin::client::text_id::kServerUnreachable));
  } else {
    const std::string text = quorin::TrimText(reply.substr(headerEnd + 4));
    CheckVerdict(save, text);
    if (save.status == AccountReplyStatus::kAccepted)
      Require(save.body == text.substr(2));
  }
  return 0;
}
