// The first hard disk's serial number and model, found by asking the disk drivers.
//
// On the Windows NT family four probes run in turn, each over all its devices: SMART IDENTIFY
// with read/write access on \\.\PhysicalDrive0 to 15, the SCSI miniport IDENTIFY on
// \\.\Scsi0: to 15: (drives 0 and 1 of each), the storage property query with no access rights
// on \\.\PhysicalDrive0 to 15, and a second SMART IDENTIFY form. On Windows 9x the IDE21201.VXD
// driver is asked, up to ten times. The first disk whose serial passes IsAcceptableSerial gives
// both texts; later disks change nothing. Other systems describe their disks directly.
#pragma once

#include <cstdint>
#include <string>

#include "platform/disk_probe.h"

namespace quorin::updater {

// Each text is kept to 1023 characters.
inline constexpr std::size_t kMaxDiskText = 1023;

struct DiskIdentity {
  std::string serial;
  std::string model;
};

// Windows' numbers for the requests (winioctl.h, ntddscsi.h, scsi.h).
inline constexpr std::uint32_t kSmartGetVersion = 0x00074080;
inline constexpr std::uint32_t kSmartRcvDriveData = 0x0007C088;
inline constexpr std::uint32_t kIoctlScsiMiniport = 0x0004D008;
inline constexpr std::uint32_t kIoctlScsiMiniportIdentify = 0x001B0501;
inline constexpr std::uint32_t kIoctlStorageQueryProperty = 0x002D1400;
inline constexpr std::uint32_t kVxdGetIdeInfo = 1;

inline constexpr std::uint32_t kGenericReadWrite = 0xC0000000u;
inline constexpr std::uint32_t kShareReadWrite = 0x1u | 0x2u;
inline constexpr std::uint32_t kShareReadWriteDelete = 0x1u | 0x2u | 0x4u;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFlagDeleteOnClose = 0x04000000u;

inline constexpr std::uint8_t kAtaIdentify = 0xEC;
inline constexpr std::uint8_t kAtapiIdentify = 0xA1;

// One pass of the probes of the system's family.
DiskIdentity ProbeDiskIdentity(platform::DiskProbeFacility& facility);

// The identity the hardware identifier uses: a second pass runs when the first found no model.
DiskIdentity FindDiskIdentity(platform::DiskProbeFacility& facility);

// Offers one disk's texts: taken when no serial is set yet and the serial is acceptable.
// Exposed for tests.
void OfferDisk(DiskIdentity& identity, const std::string& serial, const std::string& model);

}  // namespace quorin::updater
