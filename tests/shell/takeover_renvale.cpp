// A Renvale.dll for the start-up tests whose DoAutoUpdate says that an update takes over (1).
// It writes its arguments to renvale_call.txt beside itself: the text, the root key's number
// and the key path, one per line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "client/app/outside_components.h"

extern "C" int __stdcall DoAutoUpdate(const char* text, HKEY root, const char* keyPath) {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const wchar_t*>(&DoAutoUpdate), &self);
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring file(path, length);
  file = file.substr(0, file.rfind(L'\\') + 1) + L"renvale_call.txt";
  if (FILE* out = ::_wfopen(file.c_str(), L"wb")) {
    std::fprintf(out, "%s\n%lu\n%s\n", text != nullptr ? text : "(null)",
                 static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(root) & 0xFFFFFFFFu),
                 keyPath != nullptr ? keyPath : "(null)");
    std::fclose(out);
  }
  return 1;
}
