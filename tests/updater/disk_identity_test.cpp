#include "updater/disk_identity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace quorin::updater {
namespace {

using platform::DeviceOpenRequest;
using platform::SystemFamily;

// One DeviceIoControl request as the fake saw it.
struct SeenControl {
  std::string device;
  std::uint32_t code;
  std::vector<std::uint8_t> in;
  std::uint32_t outSize;
  bool sameBuffer;
};

// Fills a 512-byte IDENTIFY block with a serial (words 10-19) and model (words 27-46).
void PutIdentify(std::uint8_t* block, std::string_view serial, std::string_view model) {
  const auto put = [block](std::size_t word, std::string_view text, std::size_t words) {
    std::string padded(text);
    padded.resize(words * 2, ' ');
    for (std::size_t i = 0; i < words; ++i) {
      block[2 * (word + i)] = static_cast<std::uint8_t>(padded[2 * i + 1]);  // low byte
      block[2 * (word + i) + 1] = static_cast<std::uint8_t>(padded[2 * i]);  // high byte
    }
  };
  put(10, serial, 10);
  put(27, model, 20);
}

class FakeDisks : public platform::DiskProbeFacility {
 public:
  using Answer = std::function<bool(std::uint32_t code, std::uint8_t* out, std::uint32_t size)>;

  SystemFamily family = SystemFamily::WindowsNt;
  std::map<std::string, Answer> devices;  // devices that open, and how they answer
  std::vector<DeviceOpenRequest> opened;  // every open attempt
  std::vector<SeenControl> controls;
  std::vector<bool> priorities;
  std::vector<platform::SystemDisk> listed;
  int listCalls = 0;

  SystemFamily Family() override { return family; }
  std::unique_ptr<platform::ProbeDevice> OpenDevice(const DeviceOpenRequest& request) override {
    opened.push_back(request);
    const auto found = devices.find(request.name);
    if (found == devices.end())
      return nullptr;
    return std::make_unique<Device>(*this, request.name, found->second);
  }
  void SetRealTimePriority(bool realTime) override { priorities.push_back(realTime); }
  std::vector<platform::SystemDisk> ListDisks() override {
    ++listCalls;
    return listed;
  }

 private:
  class Device : public platform::ProbeDevice {
   public:
    Device(FakeDisks& owner, std::string name, Answer answer)
        : owner_(owner), name_(std::move(name)), answer_(std::move(answer)) {}
    bool Control(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize) override {
      const auto* bytes = static_cast<const std::uint8_t*>(in);
      owner_.controls.push_back(
          {name_, code,
           bytes ? std::vector<std::uint8_t>(bytes, bytes + inSize) : std::vector<std::uint8_t>(),
           outSize, in == out});
      return answer_(code, static_cast<std::uint8_t*>(out), outSize);
    }

   private:
    FakeDisks& owner_;
    std::string name_;
    Answer answer_;
  };
};

// A drive that answers SMART requests with an IDENTIFY block.
FakeDisks::Answer SmartDrive(std::string serial, std::string model, std::uint8_t deviceMap = 1) {
  return [=](std::uint32_t code, std::uint8_t* out, std::uint32_t size) {
    if (code == kSmartGetVersion) {
      out[3] = deviceMap;
      return true;
    }
    if (code == kSmartRcvDriveData && size >= 528) {
      PutIdentify(out + 16, serial, model);
      return true;
    }
    return false;
  };
}

TEST(DiskIdentity, ProbeOneSendsSmartIdentifyAsTheDriversExpectIt) {
  FakeDisks disks;
  disks.devices["\\\\.\\PhysicalDrive3"] = SmartDrive("S1Z2", "ST3500418AS", 0x01 | 0x80);
  const DiskIdentity identity = ProbeDiskIdentity(disks);
  EXPECT_EQ(identity.serial, "S1Z2");
  EXPECT_EQ(identity.model, "ST3500418AS");

  const DeviceOpenRequest& first = disks.opened.front();
  EXPECT_EQ(first.name, "\\\\.\\PhysicalDrive0");
  EXPECT_EQ(first.desiredAccess, 0xC0000000u) << "GENERIC_READ | GENERIC_WRITE";
  EXPECT_EQ(first.shareMode, 3u);
  EXPECT_EQ(first.creationDisposition, 3u) << "OPEN_EXISTING";

  ASSERT_GE(disks.controls.size(), 2u);
  const SeenControl& version = disks.controls[0];
  EXPECT_EQ(version.device, "\\\\.\\PhysicalDrive3");
  EXPECT_EQ(version.code, 0x00074080u) << "SMART_GET_VERSION";
  EXPECT_EQ(version.outSize, 24u);
  const SeenControl& identify = disks.controls[1];
  EXPECT_EQ(identify.code, 0x0007C088u) << "SMART_RCV_DRIVE_DATA";
  ASSERT_EQ(identify.in.size(), 32u);
  EXPECT_EQ(identify.outSize, 528u);
  EXPECT_EQ(identify.in[0], 0x00);  // cBufferSize 512, little-endian
  EXPECT_EQ(identify.in[1], 0x02);
  EXPECT_EQ(identify.in[5], 1) << "sector count";
  EXPECT_EQ(identify.in[9], 0xB0) << "drive/head register of an odd drive";
  EXPECT_EQ(identify.in[10], 0xA1) << "bit 4 of the map shifted by the drive number: ATAPI";
  EXPECT_EQ(identify.in[12], 3) << "drive number";
}

TEST(DiskIdentity, RunsTheFourNtProbesInOrderAndKeepsTheFirstDisk) {
  FakeDisks disks;
  disks.devices["\\\\.\\PhysicalDrive0"] = [](std::uint32_t code, std::uint8_t* out,
                                              std::uint32_t size) {
    if (code == kIoctlStorageQueryProperty && size == 10000) {
      out[16] = 100;  // ProductIdOffset
      out[24] = 200;  // SerialNumberOffset
      std::memcpy(out + 100, "Samsung SSD", 11);
      std::memcpy(out + 200, "3451413932", 10);
      return true;
    }
    return false;  // no SMART on this drive
  };
  disks.devices["\\\\.\\Scsi1:"] = [](std::uint32_t code, std::uint8_t* out, std::uint32_t) {
    if (code != kIoctlScsiMiniport || out[28 + 12] != 1)
      return false;  // drive 1 only
    PutIdentify(out + 28 + 16, "SCSI-SERIAL", "SCSI MODEL");
    return true;
  };
  const DiskIdentity identity = ProbeDiskIdentity(disks);
  EXPECT_EQ(identity.serial, "SCSI-SERIAL") << "probe 2 comes before probe 3";
  EXPECT_EQ(identity.model, "SCSI MODEL");

  // Each probe runs over all its devices, in turn: 16 drives, 16 ports, 16 drives, 16 drives.
  ASSERT_EQ(disks.opened.size(), 64u);
  for (std::size_t i = 0; i < 64; ++i) {
    const std::string expected = (i >= 16 && i < 32)
                                     ? "\\\\.\\Scsi" + std::to_string(i - 16) + ":"
                                     : "\\\\.\\PhysicalDrive" + std::to_string(i % 16);
    EXPECT_EQ(disks.opened[i].name, expected) << "open " << i;
  }
  EXPECT_EQ(disks.opened[16].name, "\\\\.\\Scsi0:");
  EXPECT_EQ(disks.opened[32].desiredAccess, 0u) << "probe 3 asks for no access rights";
  EXPECT_EQ(disks.opened[48].shareMode, 7u) << "probe 4 shares delete too";

  bool sawMiniport = false;
  for (const auto& control : disks.controls) {
    if (control.code != kIoctlScsiMiniport)
      continue;
    sawMiniport = true;
    EXPECT_EQ(control.in.size(), 60u);
    EXPECT_EQ(control.outSize, 557u);
    EXPECT_TRUE(control.sameBuffer);
    EXPECT_EQ(std::string(control.in.begin() + 4, control.in.begin() + 12), "SCSIDISK");
    EXPECT_EQ(control.in[0], 28);                            // HeaderLength
    EXPECT_EQ(control.in[12] | control.in[13] << 8, 10000);  // Timeout
    EXPECT_EQ(control.in[16] | control.in[17] << 8 | control.in[18] << 16, 0x1B0501);
    EXPECT_EQ(control.in[24] | control.in[25] << 8, 529);  // Length
    EXPECT_EQ(control.in[28 + 10], 0xEC);
  }
  EXPECT_TRUE(sawMiniport);
}

TEST(DiskIdentity, ReadsTheStorageDescriptorAndTheSecondSmartForm) {
  FakeDisks disks;
  disks.devices["\\\\.\\PhysicalDrive1"] = [](std::uint32_t code, std::uint8_t* out,
                                              std::uint32_t) {
    if (code != kIoctlStorageQueryProperty)
      return false;
    out[16] = 100;
    out[24] = 200;
    std::memcpy(out + 100, "Samsung SSD", 11);
    std::memcpy(out + 200, "3451413932", 10);
    return true;
  };
  DiskIdentity identity = ProbeDiskIdentity(disks);
  EXPECT_EQ(identity.serial, "Q49A") << "the descriptor's serial is pair-swapped";
  EXPECT_EQ(identity.model, "Samsung SSD") << "its model is not";
  for (const auto& control : disks.controls) {
    if (control.code == kIoctlStorageQueryProperty) {
      EXPECT_EQ(control.in, std::vector<std::uint8_t>(12, 0)) << "device property, standard";
    }
  }

  FakeDisks second;
  second.devices["\\\\.\\PhysicalDrive2"] = [](std::uint32_t code, std::uint8_t* out,
                                               std::uint32_t size) {
    if (code == kSmartGetVersion)
      return true;  // device map 0: probe 1 sends nothing
    if (code == kSmartRcvDriveData && size == 545) {
      PutIdentify(out + 16, "FORM4", "MODEL4");
      return true;
    }
    return false;
  };
  identity = ProbeDiskIdentity(second);
  EXPECT_EQ(identity.serial, "FORM4");
  const SeenControl& request = second.controls.back();
  EXPECT_EQ(request.in.size(), 33u);
  EXPECT_EQ(request.in[10], 0xEC);
  EXPECT_TRUE(request.sameBuffer);
}

TEST(DiskIdentity, SkipsDisksWhoseSerialIsNotAcceptable) {
  FakeDisks disks;
  disks.devices["\\\\.\\PhysicalDrive0"] = SmartDrive("-----", "Bad Serial");
  disks.devices["\\\\.\\PhysicalDrive1"] = SmartDrive("GOOD1", "First Good");
  disks.devices["\\\\.\\PhysicalDrive2"] = SmartDrive("GOOD2", "Second Good");
  const DiskIdentity identity = ProbeDiskIdentity(disks);
  EXPECT_EQ(identity.serial, "GOOD1");
  EXPECT_EQ(identity.model, "First Good") << "later disks change nothing";
}

TEST(DiskIdentity, AsksTheVxdOnWindows9xUpToTenTimes) {
  FakeDisks disks;
  disks.family = SystemFamily::Windows9x;
  int calls = 0;
  disks.devices["\\\\.\\IDE21201.VXD"] = [&calls](std::uint32_t code, std::uint8_t* out,
                                                  std::uint32_t size) {
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(size, 4u) << "the size of a pointer to the record";
    if (++calls < 3)
      return true;   // nothing present the first two times
    out[1] = 1;      // controller 1
    out[4 + 2] = 1;  // disk 2: on controller 1
    out[4 + 5] = 1;  // disk 5: its controller 2 is absent
    PutIdentify(out + 12 + 2 * 512, "VXD-SERIAL", "VXD MODEL");
    PutIdentify(out + 12 + 5 * 512, "OTHER", "OTHER");
    return true;
  };
  DiskIdentity identity = FindDiskIdentity(disks);
  EXPECT_EQ(identity.serial, "VXD-SERIAL");
  EXPECT_EQ(identity.model, "VXD MODEL");
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(disks.opened.front().flagsAndAttributes, 0x04000000u) << "delete on close";
  EXPECT_EQ(disks.opened.front().desiredAccess, 0u);
  EXPECT_EQ(disks.priorities.size(), 6u);
  EXPECT_EQ(disks.priorities.front(), true);
  EXPECT_EQ(disks.priorities.back(), false) << "normal priority again";

  FakeDisks none;
  none.family = SystemFamily::Windows9x;
  identity = FindDiskIdentity(none);
  EXPECT_EQ(identity.serial, "");
  EXPECT_EQ(none.opened.size(), 20u) << "ten tries, and the whole probing again for the model";
}

TEST(DiskIdentity, UsesTheSystemsDiskListElsewhere) {
  FakeDisks disks;
  disks.family = SystemFamily::Other;
  disks.listed = {{"", "No Serial"}, {"WD-123", "WDC WD10"}, {"SECOND", "Other"}};
  const DiskIdentity identity = FindDiskIdentity(disks);
  EXPECT_EQ(identity.serial, "WD-123");
  EXPECT_EQ(identity.model, "WDC WD10");
  EXPECT_EQ(disks.listCalls, 1);
  EXPECT_TRUE(disks.opened.empty());

  FakeDisks empty;
  empty.family = SystemFamily::Other;
  EXPECT_EQ(FindDiskIdentity(empty).serial, "");
  EXPECT_EQ(empty.listCalls, 2) << "no model found: the probing runs a second time";
}

}  // namespace
}  // namespace quorin::updater
