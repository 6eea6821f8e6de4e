// WM_STATUS_REFRESH: the workers' request that the main window redraw from the record's
// status texts. It carries no data and may be posted any number of times.
//
// Each program installs its target once: the windowed client's main window posts the message
// 0x2402 (WM_USER + 0x2002, both parameters 0) to itself, where no modal loop can drop it as
// it would a thread message; the console client and the service note that a refresh is due.
#pragma once

#include <cstdint>
#include <functional>

namespace quorin::client {

inline constexpr std::uint32_t kWmStatusRefresh = 0x0400 + 0x2002;

// Requests call `callback` (on the requesting thread) from now on; an empty one drops them.
void SetStatusRefreshCallback(std::function<void()> callback);

// Passes one request to the installed target; does nothing before one is installed.
void PostStatusRefresh();

}  // namespace quorin::client
