// The disk probe facility on Windows: CreateFile and DeviceIoControl as they are.
#include <windows.h>

#include "platform/disk_probe.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

class Win32ProbeDevice : public ProbeDevice {
 public:
  explicit Win32ProbeDevice(UniqueFileHandle handle) : handle_(std::move(handle)) {}
  bool Control(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
               std::uint32_t outSize) override {
    DWORD returned = 0;
    return ::DeviceIoControl(handle_.get(), code, const_cast<void*>(in), inSize, out, outSize,
                             &returned, nullptr) != FALSE;
  }

 private:
  UniqueFileHandle handle_;
};

class Win32DiskProbe : public DiskProbeFacility {
 public:
  SystemFamily Family() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    // A refused query leaves the platform id 0, which is not the NT family.
    if (!::GetVersionExW(&info))
      return SystemFamily::Windows9x;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? SystemFamily::WindowsNt
                                                      : SystemFamily::Windows9x;
  }

  std::unique_ptr<ProbeDevice> OpenDevice(const DeviceOpenRequest& request) override {
    UniqueFileHandle handle(::CreateFileW(WideFromUtf8(request.name).c_str(), request.desiredAccess,
                                          request.shareMode, nullptr, request.creationDisposition,
                                          request.flagsAndAttributes, nullptr));
    if (!handle)
      return nullptr;
    return std::make_unique<Win32ProbeDevice>(std::move(handle));
  }

  void SetRealTimePriority(bool realTime) override {
    ::SetPriorityClass(::GetCurrentProcess(),
                       realTime ? REALTIME_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
  }

  std::vector<SystemDisk> ListDisks() override { return {}; }
};

}  // namespace

DiskProbeFacility& SystemDiskProbe() {
  static Win32DiskProbe probe;
  return probe;
}

}  // namespace quorin::platform
