#include <windows.h>

#include <atomic>

#include "platform/atomic_file.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

constexpr int kTemporaryNameTries = 100;

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

// Creates a temporary file that no other writer uses: this process's id and a counter, and
// CREATE_NEW in case a file of that name survives from a killed process with the same id.
UniqueFileHandle CreateTemporary(const std::wstring& target, std::wstring& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    temporary = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
    UniqueFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || ::GetLastError() != ERROR_FILE_EXISTS)
      return file;
  }
  return UniqueFileHandle();
}

// Holds the lock that orders appends and truncations of one file. Byte-range locks on Windows
// keep other handles from reading the range, so the range lies far beyond any log's end, where
// a reader never looks.
class AppendLock {
 public:
  explicit AppendLock(HANDLE file) : file_(file) {
    range_.Offset = 0xFFFFFFF0u;
    range_.OffsetHigh = 0x7FFFFFFFu;
    locked_ = ::LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range_) != 0;
  }
  ~AppendLock() {
    if (locked_)
      ::UnlockFileEx(file_, 0, 1, 0, &range_);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;
  bool locked() const { return locked_; }

 private:
  HANDLE file_;
  OVERLAPPED range_{};
  bool locked_ = false;
};

UniqueFileHandle OpenForAppending(const std::string& path) {
  if (path.empty())
    return UniqueFileHandle();
  const std::wstring widePath = WideFromUtf8(path);
  // Readers (the log viewer) keep the file open meanwhile; they share reading and writing.
  return UniqueFileHandle(::CreateFileW(widePath.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool CutTo(HANDLE file, LARGE_INTEGER length) {
  return ::SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const AtomicWriteOptions& options) {
  if (path.empty())
    return false;
  const std::wstring target = WideFromUtf8(path);
  std::wstring temporary;
  bool written = false;
  {
    UniqueFileHandle file = CreateTemporary(target, temporary);
    if (!file)
      return false;
    written = WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
  }
  if (written && options.beforeReplace && !options.beforeReplace(Utf8FromWide(temporary)))
    return false;
  if (!written || !::MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

bool AppendTextWhole(const std::string& path, std::string_view text) {
  UniqueFileHandle file = OpenForAppending(path);
  if (!file)
    return false;
  AppendLock lock(file.get());
  LARGE_INTEGER oldLength{};
  if (!lock.locked() || !::GetFileSizeEx(file.get(), &oldLength))
    return false;
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16 + 2);
  for (const char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  LARGE_INTEGER zero{};
  if (::SetFilePointerEx(file.get(), zero, nullptr, FILE_END) && WriteAll(file.get(), bytes))
    return true;
  // Half a line would glue the next entry to it; no other appender runs while the lock is held.
  CutTo(file.get(), oldLength);
  return false;
}

bool EmptyFile(const std::string& path) {
  UniqueFileHandle file = OpenForAppending(path);
  if (!file)
    return false;
  AppendLock lock(file.get());
  return lock.locked() && CutTo(file.get(), LARGE_INTEGER{});
}

}  // namespace quorin::platform
