#include "updater/hardware_id.h"

#include "common/md5.h"

namespace quorin::updater {

std::string FormatMacList(const std::optional<std::vector<platform::NetworkAdapter>>& adapters) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string list;
  if (!adapters)
    return list;
  for (const auto& adapter : *adapters) {
    std::string entry;
    for (std::size_t i = 0; i < 6; ++i) {
      const std::uint8_t byte = i < adapter.hardwareAddress.size() ? adapter.hardwareAddress[i] : 0;
      entry += kHex[byte >> 4];
      entry += kHex[byte & 0x0f];
      entry += i < 5 ? '-' : ' ';
    }
    if (list.size() + entry.size() > kMaxMacList) {
      list += entry.substr(0, kMaxMacList - list.size());
      break;
    }
    list += entry;
  }
  return list;
}

std::string HardwareIdFrom(const DiskIdentity& disk, const std::string& macList) {
  return Md5Text(disk.serial + disk.model + macList);
}

std::string ComputeHardwareId(
    platform::DiskProbeFacility& disks,
    const std::optional<std::vector<platform::NetworkAdapter>>& adapters) {
  return HardwareIdFrom(FindDiskIdentity(disks), FormatMacList(adapters));
}

}  // namespace quorin::updater
