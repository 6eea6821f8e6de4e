#include <windows.h>

#include "platform/directories.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {

bool DirectoryExists(std::string_view path) {
  if (path.empty())
    return false;
  const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(std::string_view path) {
  if (path.empty())
    return false;
  return ::CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr) != FALSE;
}

std::string TemporaryDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH)
    return {};
  return Utf8FromWide(std::wstring_view(buffer, length));
}

}  // namespace quorin::platform
