// The zone-list text in which the login server sends a user's domains and takes changes back:
//
//   zones are separated by '#'
//   a zone is "zoneName,zoneText2,zoneText3" followed by "|label,address,hostText3,kind" per
//   host (the record keeps only the first character of the fourth field as `kind`)
//
// A login reply carries the list after its values: "00key=..&randText=..&%<zone list>".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "client/local/settings.h"
#include "client/record/client_context.h"

namespace quorin::client {

using ZoneSlots = std::array<std::optional<ZoneRecord>, kMaxZones>;

// One zone text as a record. Each host's two marks are loaded from the settings under its full
// name. When the zone has hosts and the last one is not labelled exactly "expired", `expired`
// is cleared; it is never set here.
ZoneRecord ParseZone(std::string_view text, bool& expired, const Settings& settings);

// Adds the zones of a login or domain-list reply to the empty slots, in order; a zone with no
// empty slot left is dropped and ends the parse. A reply whose first '%' field holds "key="
// (a login reply) is read from its second field.
void ParseZoneList(std::string_view reply, ZoneSlots& slots, bool& expired,
                   const Settings& settings);

// The save text of one zone: its header and "|label,address,hostText3,kind" for every host
// that is both changed and enabled (a kind of 0 ends the host right after the third comma);
// empty when no host qualifies. Stores every named host's marks in the settings on the way.
std::string FormatZone(const ZoneRecord& zone, Settings& settings);

// The save text of the list: the zone texts in slot order, each non-empty one from the second
// slot on preceded by '#'.
std::string FormatZoneList(const ZoneSlots& slots, Settings& settings);

// The record's side: parse a reply and put its zones into the record's empty slots (the login),
// or replace the record's zones by those of a reply (a refreshed domain list). Either may
// clear the record's `expired` mark. The settings are read outside the record's lock.
void AddZonesFromReply(ClientContext& context, std::string_view reply, const Settings& settings);
void ReplaceZonesFromReply(ClientContext& context, std::string_view reply,
                           const Settings& settings);

}  // namespace quorin::client
