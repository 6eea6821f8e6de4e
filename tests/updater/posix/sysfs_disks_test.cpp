#include "platform/posix/sysfs_disks.h"

#include <gtest/gtest.h>

#include "../temp_folder.h"

namespace quorin::platform {
namespace {

using updater::testing::TempFolder;
using updater::testing::WriteWholeFile;

TEST(SysfsDisks, ReadsSerialAndModelOfRealDisksInNameOrder) {
  TempFolder root;
  const auto block = root.path() / "block";
  const auto udev = root.path() / "udev";
  std::filesystem::create_directories(udev);
  // A SATA disk whose serial only the udev database knows.
  std::filesystem::create_directories(block / "sdb" / "device");
  WriteWholeFile(block / "sdb" / "device" / "model", "WDC WD10EZEX-08M\n");
  WriteWholeFile(block / "sdb" / "dev", "8:16\n");
  WriteWholeFile(udev / "b8:16",
                 "S:disk/by-id/x\nE:ID_SERIAL=WDC_WD10EZEX_WD-WCC123\n"
                 "E:ID_SERIAL_SHORT=WD-WCC123\n");
  // An NVMe disk with a serial file, padded with blanks as the kernel shows it.
  std::filesystem::create_directories(block / "nvme0n1" / "device");
  WriteWholeFile(block / "nvme0n1" / "device" / "serial", "S4EWNX0N123456      \n");
  WriteWholeFile(block / "nvme0n1" / "device" / "model", "Samsung SSD 970 EVO 500GB  \n");
  // A virtio disk keeps its serial beside the device link.
  std::filesystem::create_directories(block / "vda" / "device");
  WriteWholeFile(block / "vda" / "serial", "VIRTIO-1");
  // Virtual block devices have no device link and are left out.
  std::filesystem::create_directories(block / "loop0");
  WriteWholeFile(block / "loop0" / "dev", "7:0\n");

  const std::vector<SystemDisk> disks = ReadSysfsDisks(block, udev);
  ASSERT_EQ(disks.size(), 3u);
  EXPECT_EQ(disks[0].serial, "S4EWNX0N123456");
  EXPECT_EQ(disks[0].model, "Samsung SSD 970 EVO 500GB");
  EXPECT_EQ(disks[1].serial, "WD-WCC123") << "ID_SERIAL_SHORT wins over ID_SERIAL";
  EXPECT_EQ(disks[1].model, "WDC WD10EZEX-08M");
  EXPECT_EQ(disks[2].serial, "VIRTIO-1");
  EXPECT_EQ(disks[2].model, "");

  EXPECT_TRUE(ReadSysfsDisks(root.path() / "absent", udev).empty());
}

}  // namespace
}  // namespace quorin::platform
