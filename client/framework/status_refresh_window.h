// The windowed client's path for the workers' refresh requests: each becomes WM_STATUS_REFRESH
// posted to one window. A message posted to a window survives every modal loop of the thread
// (a message box, a pop-up menu, a window being moved or sized), which dispatch it to the
// window; a thread message would be dropped by each of them.
#pragma once

#include <windows.h>

namespace quorin::client {

// From now on every refresh request is posted to `window`; null drops them again.
void RouteStatusRefreshTo(HWND window);

}  // namespace quorin::client
