// The description of a new client version comes from the login server: any bytes must pass,
// nothing may be written past the items the reply carried, fields the reply lacks keep what
// they held, and a description the client could have received reads back the same when it is
// written out again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/protocol/upgrade_info.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::client::UpgradeInfo;

constexpr std::string_view kUntouched = "untouched";
constexpr std::int32_t kUntouchedValue = 424242;

void Require(bool holds) {
  if (!holds)
    std::abort();
}

UpgradeInfo Prefilled() {
  UpgradeInfo info;
  info.text1 = kUntouched;
  info.baseLocation = kUntouched;
  info.count = -7;
  for (auto& item : info.items) {
    item.name = kUntouched;
    item.value = kUntouchedValue;
  }
  return info;
}

bool SameInfo(const UpgradeInfo& a, const UpgradeInfo& b) {
  if (a.text1.str() != b.text1.str() || a.baseLocation.str() != b.baseLocation.str() ||
      a.count != b.count)
    return false;
  for (std::size_t i = 0; i < UpgradeInfo::kMaxItems; ++i) {
    if (a.items[i].name.str() != b.items[i].name.str() || a.items[i].value != b.items[i].value)
      return false;
  }
  return true;
}

bool Inside(std::string_view text, std::string_view field, std::string_view separators) {
  return text.find(field) != std::string_view::npos &&
         field.find_first_of(separators) == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  UpgradeInfo info = Prefilled();
  quorin::client::ParseUpgradeInfo(reply, info);
  if (reply.empty()) {
    Require(SameInfo(info, Prefilled()));  // an empty reply changes nothing
    return 0;
  }

  const std::size_t firstBar = reply.find('|');
  Require(info.text1.str() == reply.substr(0, firstBar).substr(0, info.text1.size()));
  Require(info.count >= 0 && info.count <= static_cast<std::int32_t>(UpgradeInfo::kMaxItems));
  const bool hasList =
      firstBar != std::string_view::npos && reply.find('|', firstBar + 1) != std::string_view::npos;
  if (!hasList)
    Require(info.count == 0);
  if (firstBar == std::string_view::npos || firstBar + 1 == reply.size())
    Require(info.baseLocation.str() == kUntouched);  // no second field
  else
    Require(Inside(reply, info.baseLocation, "|"));

  bool plain = info.baseLocation.str() != kUntouched;
  for (std::size_t i = 0; i < UpgradeInfo::kMaxItems; ++i) {
    const auto& item = info.items[i];
    if (i >= static_cast<std::size_t>(info.count)) {
      // Items past the count keep what the caller had.
      Require(item.name.str() == kUntouched && item.value == kUntouchedValue);
      continue;
    }
    if (item.name.str() != kUntouched)
      Require(Inside(reply, item.name, "|;,"));
    plain = plain && !item.name.empty() && item.name.str() != kUntouched;
  }

  // Written out as the server writes it and read again, a description whose parts all
  // arrived gives the same record, as long as the written list stays within the 511
  // characters the client reads.
  if (!plain || info.count == 0)
    return 0;
  std::string list;
  for (std::int32_t i = 0; i < info.count; ++i) {
    const auto& item = info.items[static_cast<std::size_t>(i)];
    if (i > 0)
      list += ';';
    const std::string entry = item.name.str() + "," + std::to_string(item.value);
    if (entry.size() > 127)
      return 0;
    list += entry;
  }
  if (list.size() > 511)
    return 0;
  UpgradeInfo again = Prefilled();
  quorin::client::ParseUpgradeInfo(info.text1.str() + "|" + info.baseLocation.str() + "|" + list,
                                   again);
  Require(SameInfo(again, info));
  return 0;
}
