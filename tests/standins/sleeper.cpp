// Stands in for the client in the holdon.exe tests, copied as QuorinFree.exe: lives until the
// test sets the event named on its command line (a minute at most), then ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* eventName, int) {
  const HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, eventName);
  if (release == nullptr)
    return 1;
  const DWORD result = ::WaitForSingleObject(release, 60000);
  ::CloseHandle(release);
  return result == WAIT_OBJECT_0 ? 0 : 2;
}
