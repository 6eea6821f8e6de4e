#include "client/framework/status_refresh_window.h"

#include "client/monitor/status_refresh.h"

namespace quorin::client {

void RouteStatusRefreshTo(HWND window) {
  if (window == nullptr) {
    SetStatusRefreshCallback({});
    return;
  }
  SetStatusRefreshCallback([window] { ::PostMessageW(window, kWmStatusRefresh, 0, 0); });
}

}  // namespace quorin::client
