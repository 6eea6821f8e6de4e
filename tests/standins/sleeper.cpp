// Lives for the number of milliseconds on its command line, then ends; the holdon.exe tests
// run it under the client's program name.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* arguments, int) {
  ::Sleep(static_cast<DWORD>(std::wcstoul(arguments, nullptr, 10)));
  return 0;
}
