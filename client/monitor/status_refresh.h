// WM_STATUS_REFRESH: the workers' request that the main window redraw from the record's
// status texts. It carries no data and may be posted any number of times.
//
// On Windows the application names its UI thread once (SetStatusRefreshThread) and every
// request becomes the thread message 0x2402 (WM_USER + 0x2002, both parameters 0) in that
// thread's queue. Programs without thread queues install a callback instead.
#pragma once

#include <cstdint>
#include <functional>

namespace quorin::client {

inline constexpr std::uint32_t kWmStatusRefresh = 0x0400 + 0x2002;

// Requests go to the queue of thread `uiThreadId` from now on.
void SetStatusRefreshThread(std::uint32_t uiThreadId);
// Requests call `callback` (on the requesting thread) from now on; an empty one drops them.
void SetStatusRefreshCallback(std::function<void()> callback);

// Passes one request to the installed target; does nothing before one is installed.
void PostStatusRefresh();

}  // namespace quorin::client
