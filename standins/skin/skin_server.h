// Shared state of the skin control's COM server: the module and its count of live objects.
#pragma once

#include <windows.h>

#include <atomic>

namespace quorin::skin {

// Objects and class-factory locks alive; the library may be unloaded at 0.
extern std::atomic<long> g_liveObjects;

HMODULE ThisModule();

}  // namespace quorin::skin

// The server's self-registration entry points (objbase.h declares the other two).
extern "C" HRESULT __stdcall DllRegisterServer();
extern "C" HRESULT __stdcall DllUnregisterServer();
