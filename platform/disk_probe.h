// What the system tells about its disks, for the updater's hardware identifier.
//
// On Windows the identity comes from device I/O control requests to the disk drivers; the
// requests are built by the updater itself (byte for byte, in Windows' structure layouts), so
// this layer only opens devices and passes requests through, and a fake can stand in for it.
// Systems without those interfaces describe their disks directly (ListDisks).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorin::platform {

enum class SystemFamily {
  WindowsNt,  // VER_PLATFORM_WIN32_NT
  Windows9x,  // any other Windows platform id
  Other,      // no Windows device interfaces: use ListDisks()
};

// The arguments of CreateFile, in Windows' own numbers.
struct DeviceOpenRequest {
  std::string name;                       // for example "\\.\PhysicalDrive0"
  std::uint32_t desiredAccess = 0;        // GENERIC_READ | GENERIC_WRITE, or 0
  std::uint32_t shareMode = 0;            // FILE_SHARE_READ | FILE_SHARE_WRITE | ...
  std::uint32_t creationDisposition = 0;  // OPEN_EXISTING, or 0
  std::uint32_t flagsAndAttributes = 0;   // FILE_FLAG_DELETE_ON_CLOSE, or 0
};

// An open device; closed when the object goes.
class ProbeDevice {
 public:
  virtual ~ProbeDevice() = default;
  // One DeviceIoControl request; true when the driver accepted it. `in` and `out` may be the
  // same buffer, as the drivers allow.
  virtual bool Control(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize) = 0;
};

// A disk as the system describes it: serial number and model texts, blanks trimmed.
struct SystemDisk {
  std::string serial;
  std::string model;
};

class DiskProbeFacility {
 public:
  virtual ~DiskProbeFacility() = default;
  virtual SystemFamily Family() = 0;
  // Nothing when the device does not open.
  virtual std::unique_ptr<ProbeDevice> OpenDevice(const DeviceOpenRequest& request) = 0;
  // Raises the process to real-time priority, or back to normal.
  virtual void SetRealTimePriority(bool realTime) = 0;
  // The disks in the system's order (systems of family Other); empty elsewhere.
  virtual std::vector<SystemDisk> ListDisks() = 0;
};

DiskProbeFacility& SystemDiskProbe();

}  // namespace quorin::platform
