// Disk serial numbers and models as Linux exposes them: /sys/block/<disk>/device/{serial,model}
// (or /sys/block/<disk>/serial for virtio disks), and, where the kernel has no serial file,
// the udev database's ID_SERIAL_SHORT for the disk's device number.
#pragma once

#include <filesystem>
#include <vector>

#include "platform/disk_probe.h"

namespace quorin::platform {

// The disks under `sysBlock` (normally /sys/block) in name order, skipping virtual block
// devices (those without a "device" link: loop, ram, device-mapper, md). `udevData` is the udev
// database directory (normally /run/udev/data).
std::vector<SystemDisk> ReadSysfsDisks(const std::filesystem::path& sysBlock,
                                       const std::filesystem::path& udevData);

}  // namespace quorin::platform
