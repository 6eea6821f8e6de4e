#include "updater/disk_identity.h"

#include <cstring>
#include <vector>

#include "updater/identify_text.h"

namespace quorin::updater {
namespace {

// Sizes of Windows' structures, packed as the drivers expect them.
constexpr std::uint32_t kGetVersionInParamsSize = 24;  // GETVERSIONINPARAMS
constexpr std::uint32_t kSendCmdInParamsSize = 33;     // SENDCMDINPARAMS (with bBuffer[1])
constexpr std::uint32_t kSendCmdOutHeaderSize = 16;    // SENDCMDOUTPARAMS up to bBuffer
constexpr std::uint32_t kIdentifyBufferSize = 512;
constexpr std::uint32_t kSrbIoControlSize = 28;  // SRB_IO_CONTROL
constexpr std::uint32_t kStorageQuerySize = 12;  // STORAGE_PROPERTY_QUERY
constexpr std::uint32_t kDescriptorBufferSize = 10000;
constexpr std::uint32_t kVxdRecordSize = 4108;  // 4 + 8 + 8 * 512

// Field offsets.
constexpr std::size_t kIdeDeviceMapOffset = 3;     // GETVERSIONINPARAMS.bIDEDeviceMap
constexpr std::size_t kInBufferSizeOffset = 0;     // SENDCMDINPARAMS.cBufferSize
constexpr std::size_t kSectorCountOffset = 5;      // irDriveRegs.bSectorCountReg
constexpr std::size_t kDriveHeadOffset = 9;        // irDriveRegs.bDriveHeadReg
constexpr std::size_t kCommandOffset = 10;         // irDriveRegs.bCommandReg
constexpr std::size_t kDriveNumberOffset = 12;     // SENDCMDINPARAMS.bDriveNumber
constexpr std::size_t kModelFieldOffset = 27 * 2;  // IDENTIFY word 27
constexpr std::size_t kProductIdOffset = 16;       // STORAGE_DEVICE_DESCRIPTOR.ProductIdOffset
constexpr std::size_t kSerialNumberOffset = 24;    // ...SerialNumberOffset

constexpr int kMaxDrives = 16;
constexpr int kVxdAttempts = 10;

void PutLe32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t GetLe32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

std::string DriveName(int drive) {
  return "\\\\.\\PhysicalDrive" + std::to_string(drive);
}

void OfferIdentify(DiskIdentity& identity, const std::uint8_t* identifyBytes) {
  const IdentifyWords words = IdentifyWordsFrom(identifyBytes);
  OfferDisk(identity, IdentifySerial(words), IdentifyModel(words));
}

bool SmartVersion(platform::ProbeDevice& device, std::uint8_t (&version)[kGetVersionInParamsSize]) {
  std::memset(version, 0, sizeof version);
  return device.Control(kSmartGetVersion, nullptr, 0, version, kGetVersionInParamsSize);
}

// Probe 1: SMART IDENTIFY with the command the device map asks for.
void ProbeSmartIdentify(platform::DiskProbeFacility& facility, DiskIdentity& identity) {
  for (int drive = 0; drive < kMaxDrives; ++drive) {
    const auto device = facility.OpenDevice(
        {DriveName(drive), kGenericReadWrite, kShareReadWrite, kOpenExisting, 0});
    if (!device)
      continue;
    std::uint8_t version[kGetVersionInParamsSize];
    if (!SmartVersion(*device, version))
      continue;
    const std::uint8_t deviceMap = version[kIdeDeviceMapOffset];
    if (deviceMap == 0)
      continue;
    const std::uint8_t command = ((deviceMap >> drive) & 0x10) != 0 ? kAtapiIdentify : kAtaIdentify;
    std::uint8_t in[kSendCmdInParamsSize] = {};
    PutLe32(in + kInBufferSizeOffset, kIdentifyBufferSize);
    in[kSectorCountOffset] = 1;
    in[kDriveHeadOffset] = (drive & 1) != 0 ? 0xB0 : 0xA0;
    in[kCommandOffset] = command;
    in[kDriveNumberOffset] = static_cast<std::uint8_t>(drive);
    std::vector<std::uint8_t> out(kSendCmdOutHeaderSize + kIdentifyBufferSize, 0);
    if (!device->Control(kSmartRcvDriveData, in, kSendCmdInParamsSize - 1, out.data(),
                         static_cast<std::uint32_t>(out.size()))) {
      continue;
    }
    OfferIdentify(identity, out.data() + kSendCmdOutHeaderSize);
  }
}

// Probe 2: IDENTIFY through the SCSI miniport of each SCSI port.
void ProbeScsiMiniport(platform::DiskProbeFacility& facility, DiskIdentity& identity) {
  constexpr std::uint32_t kSendIdLength = kSendCmdOutHeaderSize + 1 + kIdentifyBufferSize;  // 529
  constexpr std::uint32_t kBufferSize = kSrbIoControlSize + kSendIdLength;                  // 557
  for (int port = 0; port < kMaxDrives; ++port) {
    const auto device = facility.OpenDevice({"\\\\.\\Scsi" + std::to_string(port) + ":",
                                             kGenericReadWrite, kShareReadWrite, kOpenExisting, 0});
    if (!device)
      continue;
    for (int drive = 0; drive < 2; ++drive) {
      std::vector<std::uint8_t> buffer(kBufferSize, 0);
      PutLe32(buffer.data() + 0, kSrbIoControlSize);            // HeaderLength
      std::memcpy(buffer.data() + 4, "SCSIDISK", 8);            // Signature
      PutLe32(buffer.data() + 12, 10000);                       // Timeout
      PutLe32(buffer.data() + 16, kIoctlScsiMiniportIdentify);  // ControlCode
      PutLe32(buffer.data() + 24, kSendIdLength);               // Length
      std::uint8_t* in = buffer.data() + kSrbIoControlSize;
      in[kCommandOffset] = kAtaIdentify;
      in[kDriveNumberOffset] = static_cast<std::uint8_t>(drive);
      if (!device->Control(kIoctlScsiMiniport, buffer.data(),
                           kSrbIoControlSize + kSendCmdInParamsSize - 1, buffer.data(),
                           kBufferSize)) {
        continue;
      }
      const std::uint8_t* identify = buffer.data() + kSrbIoControlSize + kSendCmdOutHeaderSize;
      if (identify[kModelFieldOffset] == 0)
        continue;
      OfferIdentify(identity, identify);
    }
  }
}

// Probe 3: the storage device descriptor, readable without access rights.
void ProbeStorageQuery(platform::DiskProbeFacility& facility, DiskIdentity& identity) {
  for (int drive = 0; drive < kMaxDrives; ++drive) {
    const auto device =
        facility.OpenDevice({DriveName(drive), 0, kShareReadWrite, kOpenExisting, 0});
    if (!device)
      continue;
    // StorageDeviceProperty, PropertyStandardQuery: both fields 0.
    std::uint8_t query[kStorageQuerySize] = {};
    std::vector<std::uint8_t> descriptor(kDescriptorBufferSize, 0);
    if (!device->Control(kIoctlStorageQueryProperty, query, kStorageQuerySize, descriptor.data(),
                         kDescriptorBufferSize)) {
      continue;
    }
    // The offsets are DWORDs that the decoding reads as signed numbers.
    const auto offset = [&](std::size_t field) {
      return static_cast<std::int64_t>(
          static_cast<std::int32_t>(GetLe32(descriptor.data() + field)));
    };
    const std::string model =
        DescriptorText(descriptor.data(), descriptor.size(), offset(kProductIdOffset), false);
    const std::string serial =
        DescriptorText(descriptor.data(), descriptor.size(), offset(kSerialNumberOffset), true);
    OfferDisk(identity, serial, model);
  }
}

// Probe 4: SMART IDENTIFY in one block that carries the request in and the answer out.
void ProbeSmartSecondForm(platform::DiskProbeFacility& facility, DiskIdentity& identity) {
  constexpr std::uint32_t kCommandSize = kSendCmdInParamsSize + kIdentifyBufferSize;  // 545
  for (int drive = 0; drive < kMaxDrives; ++drive) {
    const auto device = facility.OpenDevice(
        {DriveName(drive), kGenericReadWrite, kShareReadWriteDelete, kOpenExisting, 0});
    if (!device)
      continue;
    std::uint8_t version[kGetVersionInParamsSize];
    if (!SmartVersion(*device, version))
      continue;
    std::vector<std::uint8_t> command(kCommandSize, 0);
    command[kCommandOffset] = kAtaIdentify;
    if (!device->Control(kSmartRcvDriveData, command.data(), kSendCmdInParamsSize, command.data(),
                         kCommandSize)) {
      continue;
    }
    OfferIdentify(identity, command.data() + kSendCmdOutHeaderSize);
  }
}

// The Windows 9x driver: controller and disk presence bytes and eight IDENTIFY blocks. True
// when it reported a disk.
bool ProbeVxd(platform::DiskProbeFacility& facility, DiskIdentity& identity) {
  facility.SetRealTimePriority(true);
  std::vector<std::uint8_t> record(kVxdRecordSize, 0);
  if (const auto device =
          facility.OpenDevice({"\\\\.\\IDE21201.VXD", 0, 0, 0, kFlagDeleteOnClose})) {
    // The driver is told the size of a pointer to the record, which it fills all the same.
    device->Control(kVxdGetIdeInfo, nullptr, 0, record.data(), 4);
  }
  bool found = false;
  for (int disk = 0; disk < 8; ++disk) {
    const bool diskPresent = record[4 + static_cast<std::size_t>(disk)] != 0;
    const bool controllerPresent = record[static_cast<std::size_t>(disk / 2)] != 0;
    if (!diskPresent || !controllerPresent)
      continue;
    OfferIdentify(identity, record.data() + 12 + static_cast<std::size_t>(disk) * 512);
    found = true;
  }
  facility.SetRealTimePriority(false);
  return found;
}

}  // namespace

void OfferDisk(DiskIdentity& identity, const std::string& serial, const std::string& model) {
  if (!identity.serial.empty() || !IsAcceptableSerial(serial))
    return;
  identity.serial = serial.substr(0, kMaxDiskText);
  identity.model = model.substr(0, kMaxDiskText);
}

DiskIdentity ProbeDiskIdentity(platform::DiskProbeFacility& facility) {
  DiskIdentity identity;
  switch (facility.Family()) {
    case platform::SystemFamily::WindowsNt:
      ProbeSmartIdentify(facility, identity);
      ProbeScsiMiniport(facility, identity);
      ProbeStorageQuery(facility, identity);
      ProbeSmartSecondForm(facility, identity);
      break;
    case platform::SystemFamily::Windows9x:
      for (int attempt = 0; attempt < kVxdAttempts; ++attempt) {
        if (ProbeVxd(facility, identity) || !identity.serial.empty())
          break;
      }
      break;
    case platform::SystemFamily::Other:
      for (const auto& disk : facility.ListDisks())
        OfferDisk(identity, disk.serial, disk.model);
      break;
  }
  return identity;
}

DiskIdentity FindDiskIdentity(platform::DiskProbeFacility& facility) {
  DiskIdentity identity = ProbeDiskIdentity(facility);
  if (identity.model.empty())
    identity = ProbeDiskIdentity(facility);
  return identity;
}

}  // namespace quorin::updater
