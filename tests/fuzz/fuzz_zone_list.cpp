// Zone lists come from the login server, and the client sends its records back in the same
// form: any bytes must parse, and what the client sends must read back as what it holds.
// Round trip: parse, mark every named host changed and enabled, format, parse again. The
// zones that have named hosts must come back field for field, in order, and formatting the
// second parse must give the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "client/protocol/zone_list.h"
#include "tests/client/protocol/test_settings.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::client::ZoneSlots;

void Require(bool holds) {
  if (!holds)
    std::abort();
}

using HostFields = std::tuple<std::string, std::string, std::string, char>;
using ZoneFields = std::tuple<std::string, std::string, std::string, std::vector<HostFields>>;

// The zones that take part in a save: those with at least one named host, with those hosts.
std::vector<ZoneFields> NamedZones(const ZoneSlots& slots) {
  std::vector<ZoneFields> zones;
  for (const auto& slot : slots) {
    if (!slot)
      continue;
    std::vector<HostFields> hosts;
    for (const auto& host : slot->hosts) {
      if (!host.IsFree())
        hosts.emplace_back(host.label.str(), host.address.str(), host.hostText3.str(), host.kind);
    }
    if (!hosts.empty())
      zones.emplace_back(slot->zoneName.str(), slot->zoneText2.str(), slot->zoneText3.str(),
                         std::move(hosts));
  }
  return zones;
}

// No field may hold a character that separates fields, zones or the reply's parts: the
// client would send back a different structure than it received.
bool NoSeparators(std::string_view field) {
  return field.find_first_of(",|#%") == std::string_view::npos;
}

void CheckShape(const ZoneSlots& slots) {
  bool gap = false;
  for (const auto& slot : slots) {
    if (!slot) {
      gap = true;
      continue;
    }
    Require(!gap);  // zones fill the slots from the first one on
    Require(NoSeparators(slot->zoneName) && NoSeparators(slot->zoneText2) &&
            NoSeparators(slot->zoneText3));
    for (const auto& host : slot->hosts) {
      Require(NoSeparators(host.label) && NoSeparators(host.address) &&
              NoSeparators(host.hostText3));
      Require(!host.changed);  // a fresh list has nothing to save
    }
  }
}

void MarkForSave(ZoneSlots& slots) {
  for (auto& slot : slots) {
    if (!slot)
      continue;
    for (auto& host : slot->hosts) {
      host.changed = true;
      host.enabled = true;
      host.optionFlag = false;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  quorin::client::testing::TestSettings test;

  ZoneSlots first;
  bool firstExpired = true;
  quorin::client::ParseZoneList(reply, first, firstExpired, test.settings);
  CheckShape(first);

  MarkForSave(first);
  const std::string saved = quorin::client::FormatZoneList(first, test.settings);
  ZoneSlots second;
  bool secondExpired = true;
  quorin::client::ParseZoneList(saved, second, secondExpired, test.settings);
  CheckShape(second);
  Require(NamedZones(first) == NamedZones(second));
  // Free records are not sent, so the second parse may see another last host; but a list
  // that proves the account usable was usable before it was sent.
  Require(secondExpired || !firstExpired);
  for (const auto& slot : second) {
    if (!slot)
      continue;
    for (const auto& host : slot->hosts) {
      // The format stored each named host's marks; the parse reads them back.
      if (!host.IsFree())
        Require(host.enabled && !host.optionFlag);
    }
  }

  MarkForSave(second);
  Require(quorin::client::FormatZoneList(second, test.settings) == saved);
  return 0;
}
