// The rows in which the main window shows the domain list, and the way edits made in those
// rows go back into the client record.
//
// A zone row reads "<zone>    [ <text2>  --  <text3> ]", a host row "<label>.<zone>". When the
// user saves, the window reads its rows back: the zone name is the zone row's text up to its
// first blank, the label the host row's text up to the character before the zone name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client/record/client_context.h"

namespace quorin::client {

std::string ZoneRowText(const ZoneRecord& zone);
std::string HostRowText(std::string_view label, std::string_view zoneName);

// The zone name of a zone row's text.
std::string ZoneNameOfRow(std::string_view zoneRowText);
// The label of a host row's text under the zone `zoneName`; empty when the text is too short
// to hold one.
std::string LabelOfRow(std::string_view hostRowText, std::string_view zoneName);

// What one host row of the window holds.
struct HostRowEdit {
  std::string zoneName;
  std::string label;
  std::string address;      // the address cell, "%d.%d.%d.%d"
  bool optionFlag = false;  // the first check cell
  bool paused = false;      // the second check cell: the monitor leaves the record alone
};

// Writes the rows into the record, in row order. A record whose address differs from its row's
// gets the row's address and the changed mark. While `resendAll` is set, the first record found
// gets the changed mark and the flag is cleared, so that after a new login the next save sends
// the list even when nothing was edited. Rows without a record are skipped. Returns the number
// of records found.
int ApplyHostRowEdits(ClientState& state, const std::vector<HostRowEdit>& rows, bool& resendAll);

}  // namespace quorin::client
