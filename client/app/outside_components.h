// The entry points of the installation's outside libraries, as the client calls them. The
// stand-in libraries of this project implement the same declarations.
//
// Texts passed across these entry points are in the system code page, as the outside
// libraries read and write them; the client converts them at the call.
#pragma once

#include <windows.h>

extern "C" {

// The client's message dialog as handed to K4DDNSUtil.dll: text, button kind (0 one button,
// 1 OK and Cancel, 4 Yes and No), check-box flag, check-box text, initial check state, parent
// window. Returns the dialog result (IDOK for OK, also after the dialog closed by itself).
using MessageBoxFunction = int(__stdcall*)(const char* text, int kind, int withCheckBox,
                                           const char* checkText, int checkState, HWND parent);

// K4DDNSUtil.dll, loaded at run time by name.
using SetMsgBoxFuncFunction = void(__stdcall*)(MessageBoxFunction function);
// Fills the preset account of a vendor build into the two buffers (each at most `size`
// characters plus NUL). Non-zero when an account is there.
using GetDnsAccountFunction = int(__stdcall*)(char* user, int userSize, char* password,
                                              int passwordSize, int reserved);

// Renvale.dll, linked: asks the auto-update component whether an update takes over now. A
// non-zero result means that it does and the client must end.
#ifdef QUORIN_BUILDING_RENVALE
#define QUORIN_RENVALE_API __declspec(dllexport)
#else
#define QUORIN_RENVALE_API __declspec(dllimport)
#endif
QUORIN_RENVALE_API int __stdcall DoAutoUpdate(const char* text, HKEY root, const char* keyPath);

}  // extern "C"
