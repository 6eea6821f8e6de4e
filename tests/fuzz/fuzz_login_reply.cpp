// The login reply comes from whatever answers on the login server's port: any bytes must
// pass, the verdict must follow the reply code alone, and the key, randText and zones must
// come from where a login reply carries them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/protocol/login.h"
#include "client/protocol/zone_list.h"
#include "common/text_tools.h"
#include "tests/client/protocol/test_settings.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::client::LoginReplyStatus;

void Require(bool holds) {
  if (!holds)
    std::abort();
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool KnownRefusal(std::string_view code) {
  for (const std::string_view known : {"01", "02", "03", "04", "99"}) {
    if (code == known)
      return true;
  }
  return false;
}

// A value the login took from the values part is (a prefix of) the value after "name=".
void CheckValue(std::string_view values, std::string_view name, std::string_view value) {
  if (value.empty())
    return;
  Require(value.find_first_of("&%=") == std::string_view::npos);
  const std::string lowered = quorin::ToLowerAscii(values);
  const std::string wanted = quorin::ToLowerAscii(std::string(name) + "=" + std::string(value));
  Require(lowered.find(wanted) != std::string::npos);
}

const quorin::client::testing::BuiltinTexts& Texts() {
  static const quorin::client::testing::BuiltinTexts texts;
  return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const auto answer = quorin::client::ReadLoginReply(reply, Texts().replyCodes);

  const bool hasCode = size >= 2 && IsDigit(reply[0]) && IsDigit(reply[1]);
  if (!hasCode) {
    Require(answer.status == LoginReplyStatus::kNoCode);
    Require(answer.message.empty() && answer.rest.empty() && answer.values.key.empty());
    return 0;
  }
  const std::string_view code = reply.substr(0, 2);
  if (code != "00") {
    Require(answer.status == LoginReplyStatus::kRefused);
    Require(answer.message.empty() != KnownRefusal(code));  // a known code has its text
    Require(answer.rest.empty() && answer.values.key.empty() && answer.values.randText.empty());
    return 0;
  }
  Require(answer.status == LoginReplyStatus::kAccepted);
  Require(answer.rest == reply.substr(2));

  const std::string_view rest = answer.rest;
  const std::size_t percent = rest.find('%');
  const std::string_view values = rest.substr(0, percent);
  CheckValue(values, "key", answer.values.key);
  CheckValue(values, "randText", answer.values.randText);

  // The zones as the login reads them: from the part after the values when there is one.
  quorin::client::testing::TestSettings test;
  quorin::client::ZoneSlots zones;
  bool expired = true;
  quorin::client::ParseZoneList(rest, zones, expired, test.settings);
  if (percent != std::string_view::npos && values.find("key=") != std::string_view::npos) {
    const std::string_view list = rest.substr(percent + 1);
    const std::string_view listPart = list.substr(0, list.find('%'));
    if (!listPart.empty()) {
      for (const auto& zone : zones) {
        if (zone)
          Require(listPart.find(zone->zoneName.str()) != std::string_view::npos);
      }
    }
  }
  // Without a host field there is no host record, so nothing can prove the account usable.
  if (rest.find('|') == std::string_view::npos)
    Require(expired);
  return 0;
}
