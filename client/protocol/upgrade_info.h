// The login server's description of a new client version:
//   "<version>|<base address>|<name>,<size>;<name>,<size>;..."
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/system_bounded_text.h"

namespace quorin::client {

struct UpgradeItem {
  platform::SystemBoundedText<64> name;  // path relative to the base address; may use '/'
  std::int32_t value = 0;                // the file's size in bytes
};

struct UpgradeInfo {
  static constexpr std::size_t kMaxItems = 10;

  std::array<UpgradeItem, kMaxItems> items;
  platform::SystemBoundedText<64> text1;          // the new version text
  platform::SystemBoundedText<256> baseLocation;  // address prefix of the program files
  std::int32_t count = 0;                         // items the reply carried (0 to 10)
};

// Fills `info` from a reply (its code already removed). Fields the reply lacks leave their
// targets as they were; sizes that are not numbers read as 0.
void ParseUpgradeInfo(std::string_view reply, UpgradeInfo& info);

}  // namespace quorin::client
