#include <windows.h>

#include <vector>

#include "platform/profile_text.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {

std::string ReadProfileText(const std::string& path, std::string_view section,
                            std::string_view name) {
  std::vector<wchar_t> buffer(1024, L'\0');
  const DWORD length = ::GetPrivateProfileStringW(
      WideFromUtf8(section).c_str(), WideFromUtf8(name).c_str(), L"", buffer.data(),
      static_cast<DWORD>(buffer.size()), WideFromUtf8(path).c_str());
  return Utf8FromWide(std::wstring_view(buffer.data(), length));
}

}  // namespace quorin::platform
