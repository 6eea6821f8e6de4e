#include <windows.h>

#include <vector>

#include "platform/program_path.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {

std::optional<std::string> ProgramPath() {
  // MAX_PATH is not a limit for long-path-aware systems: grow the buffer until the path fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  while (buffer.size() <= 32768) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return Utf8FromWide(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
  return std::nullopt;
}

std::optional<std::string> ProgramDirectory() {
  const auto path = ProgramPath();
  if (!path) return std::nullopt;
  const std::size_t slash = path->rfind('\\');
  if (slash == std::string::npos) return std::nullopt;
  return path->substr(0, slash);
}

}  // namespace quorin::platform
