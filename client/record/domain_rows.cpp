#include "client/record/domain_rows.h"

namespace quorin::client {

std::string ZoneRowText(const ZoneRecord& zone) {
  std::string text = zone.zoneName.str();
  text.append("    [ ").append(zone.zoneText2.str()).append("  --  ");
  text.append(zone.zoneText3.str()).append(" ]");
  return text;
}

std::string HostRowText(std::string_view label, std::string_view zoneName) {
  std::string text(label);
  text.append(".").append(zoneName);
  return text;
}

std::string ZoneNameOfRow(std::string_view zoneRowText) {
  return std::string(zoneRowText.substr(0, zoneRowText.find(' ')));
}

std::string LabelOfRow(std::string_view hostRowText, std::string_view zoneName) {
  // "<label>.<zone>": the label ends one character (the dot) before the zone name.
  if (hostRowText.size() < zoneName.size() + 1)
    return {};
  return std::string(hostRowText.substr(0, hostRowText.size() - zoneName.size() - 1));
}

int ApplyHostRowEdits(ClientState& state, const std::vector<HostRowEdit>& rows, bool& resendAll) {
  int found = 0;
  for (const HostRowEdit& row : rows) {
    HostRecord* host = FindHost(state, row.zoneName, row.label);
    if (host == nullptr)
      continue;
    ++found;
    if (host->address != row.address) {
      host->address = row.address;
      host->changed = true;
    }
    if (resendAll) {
      host->changed = true;
      resendAll = false;
    }
    host->enabled = !row.paused;
    host->optionFlag = row.optionFlag;
  }
  return found;
}

}  // namespace quorin::client
