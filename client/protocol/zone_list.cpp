#include "client/protocol/zone_list.h"

#include "client/texts/field_split.h"
#include "common/text_tools.h"

namespace quorin::client {
namespace {

constexpr std::size_t kMaxFullNameLength = 255;
constexpr std::string_view kExpiredLabel = "expired";

std::string FullName(const HostRecord& host, const ZoneRecord& zone) {
  return CutText(host.label.str() + "." + zone.zoneName.str(), kMaxFullNameLength);
}

std::string_view FieldOrEmpty(const std::vector<std::string_view>& fields, std::size_t index) {
  return index < fields.size() ? fields[index] : std::string_view();
}

// The slots a parse may fill, as a mask of occupied ones.
std::array<bool, kMaxZones> OccupiedSlots(const ZoneSlots& slots) {
  std::array<bool, kMaxZones> occupied{};
  for (std::size_t i = 0; i < kMaxZones; ++i)
    occupied[i] = slots[i].has_value();
  return occupied;
}

}  // namespace

ZoneRecord ParseZone(std::string_view text, bool& expired, const Settings& settings) {
  ZoneRecord zone;
  const auto fields = SplitFields(text, '|');
  if (fields.empty())
    return zone;
  const auto header = SplitFields(fields[0], ',');
  zone.zoneName = FieldOrEmpty(header, 0);
  zone.zoneText2 = FieldOrEmpty(header, 1);
  zone.zoneText3 = FieldOrEmpty(header, 2);
  if (fields.size() == 1)
    return zone;

  std::size_t filled = 0;
  for (std::size_t i = 1; i < fields.size() && filled < kMaxHostsPerZone; ++i, ++filled) {
    HostRecord& host = zone.hosts[filled];
    const auto parts = SplitFields(fields[i], ',');
    host.label = FieldOrEmpty(parts, 0);
    host.address = FieldOrEmpty(parts, 1);
    host.hostText3 = FieldOrEmpty(parts, 2);
    const std::string_view kind = FieldOrEmpty(parts, 3);
    host.kind = kind.empty() ? '\0' : kind.front();
    host.changed = false;
    const HostRecordFlags flags = settings.GetHostRecordFlags(FullName(host, zone));
    host.optionFlag = flags.optionFlag;
    host.enabled = flags.enabled;
  }
  if (filled > 0 && zone.hosts[filled - 1].label.str() != kExpiredLabel)
    expired = false;
  return zone;
}

void ParseZoneList(std::string_view reply, ZoneSlots& slots, bool& expired,
                   const Settings& settings) {
  if (reply.empty())
    return;
  const auto parts = SplitFields(reply, '%');
  if (parts.empty())
    return;
  std::string_view list = parts[0];
  if (list.find("key=") != std::string_view::npos && parts.size() > 1)
    list = parts[1];

  for (const std::string_view zoneText : SplitFields(list, '#')) {
    ZoneRecord zone = ParseZone(zoneText, expired, settings);
    std::optional<ZoneRecord>* free = nullptr;
    for (auto& slot : slots) {
      if (!slot) {
        free = &slot;
        break;
      }
    }
    if (free == nullptr)
      return;
    *free = std::move(zone);
  }
}

std::string FormatZone(const ZoneRecord& zone, Settings& settings) {
  std::string hosts;
  for (const HostRecord& host : zone.hosts) {
    if (host.label.empty())
      continue;
    settings.SetHostRecordFlags(FullName(host, zone), host.optionFlag, host.enabled);
    if (!host.changed || !host.enabled)
      continue;
    hosts.append("|")
        .append(host.label.str())
        .append(",")
        .append(host.address.str())
        .append(",")
        .append(host.hostText3.str())
        .append(",");
    if (host.kind != '\0')
      hosts += host.kind;
  }
  if (hosts.empty())
    return std::string();
  return zone.zoneName.str() + "," + zone.zoneText2.str() + "," + zone.zoneText3.str() + hosts;
}

std::string FormatZoneList(const ZoneSlots& slots, Settings& settings) {
  std::string list;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (!slots[i])
      continue;
    const std::string text = FormatZone(*slots[i], settings);
    if (text.empty())
      continue;
    if (i >= 1)
      list += '#';
    list += text;
  }
  return list;
}

void AddZonesFromReply(ClientContext& context, std::string_view reply, const Settings& settings) {
  const auto occupied =
      context.Read([](const ClientState& state) { return OccupiedSlots(state.zones); });
  // Stand-ins mark the occupied slots, so the parse fills exactly the slots that are free.
  ZoneSlots parsed;
  for (std::size_t i = 0; i < kMaxZones; ++i) {
    if (occupied[i])
      parsed[i].emplace();
  }
  bool expired = true;
  ParseZoneList(reply, parsed, expired, settings);
  context.Edit([&](ClientState& state) {
    for (std::size_t i = 0; i < kMaxZones; ++i) {
      if (!occupied[i] && parsed[i] && !state.zones[i])
        state.zones[i] = std::move(parsed[i]);
    }
    if (!expired)
      state.expired = false;
  });
}

void ReplaceZonesFromReply(ClientContext& context, std::string_view reply,
                           const Settings& settings) {
  ZoneSlots parsed;
  bool expired = true;
  ParseZoneList(reply, parsed, expired, settings);
  context.Edit([&](ClientState& state) {
    state.zones = std::move(parsed);
    if (!expired)
      state.expired = false;
  });
}

}  // namespace quorin::client
