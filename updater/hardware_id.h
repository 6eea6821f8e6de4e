// The machine identifier sent with the version query: the MD5 digest text of the first disk's
// serial and model and of the network adapters' addresses, concatenated.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "platform/disk_probe.h"
#include "updater/disk_identity.h"

namespace quorin::updater {

inline constexpr std::size_t kMaxMacList = 1027;

// One entry per adapter, in the system's order: the first six address bytes as
// "%02X-%02X-%02X-%02X-%02X-%02X " (missing bytes count as 0). Empty when the list could not be
// read; kept to kMaxMacList characters.
std::string FormatMacList(const std::optional<std::vector<platform::NetworkAdapter>>& adapters);

std::string HardwareIdFrom(const DiskIdentity& disk, const std::string& macList);

// Probes the disks and lists the adapters of this machine.
std::string ComputeHardwareId(platform::DiskProbeFacility& disks,
                              const std::optional<std::vector<platform::NetworkAdapter>>& adapters);

}  // namespace quorin::updater
