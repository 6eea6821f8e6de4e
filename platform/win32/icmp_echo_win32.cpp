// ICMP echo through IcmpSendEcho. The library is loaded at run time: "ICMP.DLL" as older
// systems have it, else iphlpapi.dll, which holds the same functions on current Windows.
// The order matters: winsock2.h before windows.h, and both before the IP Helper headers.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <cstring>

#include "platform/icmp_echo.h"
#include "platform/win32/unique_handle.h"

namespace quorin::platform {
namespace {

using CreateFileFn = HANDLE(WINAPI*)();
using CloseHandleFn = BOOL(WINAPI*)(HANDLE);
using SendEchoFn = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID,
                                  DWORD, DWORD);

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  // GetProcAddress hands back a generic function pointer; the cast names its real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

class WindowsIcmpEcho : public IcmpEcho {
 public:
  WindowsIcmpEcho(UniqueModule library, CreateFileFn create, CloseHandleFn close, SendEchoFn send)
      : library_(std::move(library)), create_(create), close_(close), send_(send) {}

  bool Echo(const Ipv4Address& target, int ttl, std::chrono::milliseconds timeout) override {
    const HANDLE handle = create_();
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
      return false;
    IP_OPTION_INFORMATION options{};
    options.Ttl = static_cast<UCHAR>(ttl < 1 ? 1 : (ttl > 255 ? 255 : ttl));
    IPAddr destination = 0;
    std::memcpy(&destination, target.data(), 4);
    // Room for one reply record and an error's quoted header, suitably aligned.
    alignas(8) unsigned char reply[sizeof(ICMP_ECHO_REPLY) + 64] = {};
    // No payload; some implementations still want a valid pointer for it.
    char payload[1] = {0};
    const DWORD count = send_(handle, destination, payload, 0, &options, reply, sizeof reply,
                              static_cast<DWORD>(timeout.count()));
    close_(handle);
    if (count == 0)
      return false;
    ICMP_ECHO_REPLY first{};
    std::memcpy(&first, reply, sizeof first);
    return first.Status == IP_SUCCESS;
  }

 private:
  UniqueModule library_;
  CreateFileFn create_;
  CloseHandleFn close_;
  SendEchoFn send_;
};

}  // namespace

std::unique_ptr<IcmpEcho> OpenIcmpEcho() {
  for (const wchar_t* name : {L"ICMP.DLL", L"iphlpapi.dll"}) {
    UniqueModule library(::LoadLibraryW(name));
    if (!library)
      continue;
    const auto create = Lookup<CreateFileFn>(library.get(), "IcmpCreateFile");
    const auto close = Lookup<CloseHandleFn>(library.get(), "IcmpCloseHandle");
    const auto send = Lookup<SendEchoFn>(library.get(), "IcmpSendEcho");
    if (create != nullptr && close != nullptr && send != nullptr) {
      return std::make_unique<WindowsIcmpEcho>(std::move(library), create, close, send);
    }
  }
  return nullptr;
}

}  // namespace quorin::platform
