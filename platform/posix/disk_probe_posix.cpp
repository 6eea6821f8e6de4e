// The disk probe facility on POSIX systems: no device I/O control, the disks as sysfs and the
// udev database describe them.
#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/disk_probe.h"
#include "platform/posix/sysfs_disks.h"

namespace quorin::platform {
namespace {

// sysfs attribute files are a line or two; anything larger is not one of them.
constexpr std::size_t kMaxAttributeBytes = 4096;

std::string ReadSmallFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return std::string();
  std::string text(kMaxAttributeBytes, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

std::string TrimAll(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  std::size_t start = 0;
  std::size_t end = text.size();
  while (start < end && blank(text[start]))
    ++start;
  while (end > start && blank(text[end - 1]))
    --end;
  return std::string(text.substr(start, end - start));
}

std::string UdevSerial(const std::filesystem::path& udevData, const std::string& deviceNumber) {
  if (deviceNumber.empty())
    return std::string();
  const std::string record = ReadSmallFile(udevData / ("b" + deviceNumber));
  std::string serial;
  std::size_t start = 0;
  while (start < record.size()) {
    std::size_t end = record.find('\n', start);
    if (end == std::string::npos)
      end = record.size();
    const std::string_view line(record.data() + start, end - start);
    constexpr std::string_view kShort = "E:ID_SERIAL_SHORT=";
    constexpr std::string_view kLong = "E:ID_SERIAL=";
    if (line.substr(0, kShort.size()) == kShort)
      return TrimAll(line.substr(kShort.size()));
    if (serial.empty() && line.substr(0, kLong.size()) == kLong) {
      serial = TrimAll(line.substr(kLong.size()));
    }
    start = end + 1;
  }
  return serial;
}

class PosixDiskProbe : public DiskProbeFacility {
 public:
  SystemFamily Family() override { return SystemFamily::Other; }
  std::unique_ptr<ProbeDevice> OpenDevice(const DeviceOpenRequest&) override { return nullptr; }
  void SetRealTimePriority(bool) override {}
  std::vector<SystemDisk> ListDisks() override {
    return ReadSysfsDisks("/sys/block", "/run/udev/data");
  }
};

}  // namespace

std::vector<SystemDisk> ReadSysfsDisks(const std::filesystem::path& sysBlock,
                                       const std::filesystem::path& udevData) {
  std::error_code error;
  std::vector<std::filesystem::path> entries;
  for (std::filesystem::directory_iterator it(sysBlock, error), end; !error && it != end;
       it.increment(error)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  std::vector<SystemDisk> disks;
  for (const auto& entry : entries) {
    if (!std::filesystem::exists(entry / "device", error))
      continue;
    SystemDisk disk;
    disk.model = TrimAll(ReadSmallFile(entry / "device" / "model"));
    disk.serial = TrimAll(ReadSmallFile(entry / "device" / "serial"));
    if (disk.serial.empty())
      disk.serial = TrimAll(ReadSmallFile(entry / "serial"));
    if (disk.serial.empty())
      disk.serial = UdevSerial(udevData, TrimAll(ReadSmallFile(entry / "dev")));
    disks.push_back(std::move(disk));
  }
  return disks;
}

DiskProbeFacility& SystemDiskProbe() {
  static PosixDiskProbe probe;
  return probe;
}

}  // namespace quorin::platform
