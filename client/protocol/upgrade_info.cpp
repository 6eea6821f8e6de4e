#include "client/protocol/upgrade_info.h"

#include "client/texts/field_split.h"
#include "common/text_tools.h"

namespace quorin::client {
namespace {

constexpr std::size_t kMaxItemListLength = 511;
constexpr std::size_t kMaxItemLength = 127;

}  // namespace

void ParseUpgradeInfo(std::string_view reply, UpgradeInfo& info) {
  if (reply.empty())
    return;
  const auto fields = SplitFields(reply, '|');
  if (fields.size() > 0)
    info.text1 = fields[0];
  if (fields.size() > 1)
    info.baseLocation = fields[1];
  std::int32_t filled = 0;
  if (fields.size() > 2) {
    const std::string list = CutText(fields[2], kMaxItemListLength);
    for (const std::string_view entry : SplitFields(list, ';')) {
      if (filled >= static_cast<std::int32_t>(UpgradeInfo::kMaxItems))
        break;
      const std::string item = CutText(entry, kMaxItemLength);
      const auto parts = SplitFields(item, ',');
      UpgradeItem& target = info.items[static_cast<std::size_t>(filled)];
      if (parts.size() > 0)
        target.name = parts[0];
      if (parts.size() > 1)
        target.value = AtoiReading(parts[1]);
      ++filled;
    }
  }
  info.count = filled;
}

}  // namespace quorin::client
