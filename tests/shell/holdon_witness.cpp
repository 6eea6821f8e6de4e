// holdon.exe for the self-update test: keeps a copy of the batch that runs it ("<batch>.seen")
// before the batch goes on, so that the test can check the batch's bytes although the restarted
// client deletes the batch; then waits, as holdon.exe does, until no client process is left.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

namespace {

bool ClientRunning() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    found = ::CompareStringOrdinal(entry.szExeFile, -1, L"QuorinFree.exe", -1, TRUE) == CSTR_EQUAL;
  }
  ::CloseHandle(snapshot);
  return found;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments != nullptr && count >= 2) {
    const std::wstring batch = arguments[1];
    ::CopyFileW(batch.c_str(), (batch + L".seen").c_str(), FALSE);
  }
  ::LocalFree(arguments);
  const ULONGLONG deadline = ::GetTickCount64() + 60000;
  while (ClientRunning() && ::GetTickCount64() < deadline)
    ::Sleep(100);
  return 0;
}
