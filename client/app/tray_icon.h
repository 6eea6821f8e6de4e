// The client's icon in the notification area: added when the main window starts (or, after a
// desktop switch, once the interactive desktop takes it) and removed at exit. Clicks on it
// arrive at the main window as kTrayCallbackMessage with the mouse message in lParam.
#pragma once

#include <windows.h>

namespace quorin::client {

inline constexpr UINT kTrayCallbackMessage = 0x2403;
// One fixed number: a GUID would tie the icon to the program's path.
inline constexpr UINT kTrayIconId = 1;

// Adds the icon (the skin's small icon, the product title as its tip) for `window`; true when
// the shell took it or already shows it.
bool AddTrayIcon(HWND window);
// Removes the icon of `window`.
void RemoveTrayIcon(HWND window);

}  // namespace quorin::client
