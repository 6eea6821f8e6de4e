// holdon.exe stand-in: the update batch runs it first ("holdon.exe <batch path>") and goes on
// once it returns, that is once no client process is left, so that the batch can replace the
// client's files. The wait is bounded: after 60 seconds (or the number of seconds given as a
// second argument) it returns 1 and the batch goes on anyway.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>

namespace {

constexpr const wchar_t* kClientProgram = L"QuorinFree.exe";
constexpr unsigned kDefaultLimitSeconds = 60;
constexpr DWORD kPollMs = 200;

bool ClientRunning() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    found = ::CompareStringOrdinal(entry.szExeFile, -1, kClientProgram, -1, TRUE) == CSTR_EQUAL;
  }
  ::CloseHandle(snapshot);
  return found;
}

unsigned LimitSeconds() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  unsigned limit = kDefaultLimitSeconds;
  if (arguments != nullptr && count >= 3) {
    const unsigned long given = std::wcstoul(arguments[2], nullptr, 10);
    if (given > 0 && given <= 3600)
      limit = static_cast<unsigned>(given);
  }
  ::LocalFree(arguments);
  return limit;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  const ULONGLONG deadline = ::GetTickCount64() + 1000ULL * LimitSeconds();
  while (ClientRunning()) {
    if (::GetTickCount64() >= deadline)
      return 1;
    ::Sleep(kPollMs);
  }
  return 0;
}
