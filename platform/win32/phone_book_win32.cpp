// The phone book through RasEnumEntriesA of "RASAPI32.DLL", looked up at run time: a machine
// without remote access (or Wine without its library) simply has no entries.
#include <windows.h>

#include <cstring>

#include "platform/phone_book.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// RASENTRYNAMEA as the ANSI function fills it: the record's size, then the name (at most 256
// bytes and its terminating zero). Its size, 264 bytes, is how the library recognises the
// record's version.
struct RasEntryName {
  DWORD size;
  char name[257];
};
constexpr DWORD kEntrySize = 264;
static_assert(sizeof(RasEntryName) == kEntrySize);

using RasEnumEntriesFn = DWORD(WINAPI*)(LPCSTR reserved, LPCSTR phoneBook, RasEntryName* entries,
                                        LPDWORD bytes, LPDWORD count);

constexpr DWORD kBufferTooSmall = 603;  // ERROR_BUFFER_TOO_SMALL of the remote-access API
// More entries than anyone keeps; it bounds the buffer a faulty library could ask for.
constexpr DWORD kMostEntries = 4096;

std::string Utf8FromSystemText(const char* text, std::size_t length) {
  if (length == 0)
    return {};
  const int wideLength =
      ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (wideLength <= 0)
    return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), wideLength);
  return Utf8FromWide(wide);
}

}  // namespace

std::vector<std::string> PhoneBookEntries() {
  UniqueModule library(::LoadLibraryW(L"RASAPI32.DLL"));
  if (!library)
    return {};
  const auto enumerate = reinterpret_cast<RasEnumEntriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(library.get(), "RasEnumEntriesA")));
  if (enumerate == nullptr)
    return {};

  // First with room for one entry, which tells how much room all of them need.
  std::vector<RasEntryName> entries(1);
  entries[0].size = kEntrySize;
  DWORD bytes = kEntrySize;
  DWORD count = 0;
  DWORD status = enumerate(nullptr, nullptr, entries.data(), &bytes, &count);
  if (status == kBufferTooSmall) {
    const DWORD wanted = (bytes + kEntrySize - 1) / kEntrySize;
    if (wanted == 0 || wanted > kMostEntries)
      return {};
    entries.assign(wanted, RasEntryName{});
    for (RasEntryName& entry : entries)
      entry.size = kEntrySize;
    bytes = wanted * kEntrySize;
    count = 0;
    status = enumerate(nullptr, nullptr, entries.data(), &bytes, &count);
  }
  if (status != ERROR_SUCCESS)
    return {};

  std::vector<std::string> names;
  const std::size_t filled = count < entries.size() ? count : entries.size();
  for (std::size_t i = 0; i < filled; ++i) {
    // A name without its terminating zero is cut at the record's end, never read beyond it.
    const char* name = entries[i].name;
    const void* end = std::memchr(name, '\0', sizeof entries[i].name);
    const std::size_t length = end != nullptr
                                   ? static_cast<std::size_t>(static_cast<const char*>(end) - name)
                                   : sizeof entries[i].name;
    names.push_back(Utf8FromSystemText(name, length));
  }
  return names;
}

}  // namespace quorin::platform
