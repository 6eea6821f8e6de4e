// Network adapters on Windows: GetAdaptersInfo (IP Helper).
// winsock2.h before windows.h, and both before the IP Helper header, which needs them.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <vector>

#include "platform/adapters.h"

namespace quorin::platform {

std::optional<std::vector<NetworkAdapter>> ListNetworkAdapters() {
  // The first call usually fits; the list is read again when the system asks for more room.
  std::vector<unsigned char> buffer(10240);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG size = static_cast<ULONG>(buffer.size());
    const DWORD status =
        ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (status == ERROR_BUFFER_OVERFLOW && size > buffer.size() && size <= (1u << 22)) {
      buffer.resize(size);
      continue;
    }
    if (status == ERROR_NO_DATA)
      return std::vector<NetworkAdapter>();
    if (status != ERROR_SUCCESS)
      return std::nullopt;
    std::vector<NetworkAdapter> adapters;
    for (auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); info != nullptr;
         info = info->Next) {
      NetworkAdapter adapter;
      adapter.name = info->AdapterName;
      const UINT length = info->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH
                              ? info->AddressLength
                              : MAX_ADAPTER_ADDRESS_LENGTH;
      adapter.hardwareAddress.assign(info->Address, info->Address + length);
      for (const IP_ADDR_STRING* ip = &info->IpAddressList; ip != nullptr; ip = ip->Next) {
        const auto address = ParseInetAddr(ip->IpAddress.String);
        if (address && *address != Ipv4Address{0, 0, 0, 0}) {
          adapter.ipv4Addresses.push_back(*address);
        }
      }
      adapters.push_back(std::move(adapter));
    }
    return adapters;
  }
  return std::nullopt;
}

}  // namespace quorin::platform
