#include <windows.h>

#include "tests/support/environment.h"

namespace quorin::testing {

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

unsigned long ProcessId() {
  return ::GetCurrentProcessId();
}

}  // namespace quorin::testing
