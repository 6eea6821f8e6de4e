#include <windows.h>

#include "platform/atomic_file.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty())
    return false;
  const std::wstring target = WideFromUtf8(path);
  const std::wstring temporary = target + L".tmp";
  bool written = false;
  {
    UniqueFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      return false;
    written = WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
  }
  if (!written || !::MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quorin::platform
