// Start-up steps that reach outside the process: the search for a running client and the
// vendor build's preset account.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorin::client {

// The first top-level window whose property named `productTitle` holds exactly 1 (the main
// window of a running client of the same version), or null.
HWND FindRunningClient(std::string_view productTitle);

// Marks a main window so that FindRunningClient finds it, and removes the mark.
void MarkClientWindow(HWND window, std::string_view productTitle);
void UnmarkClientWindow(HWND window, std::string_view productTitle);

struct VendorAccount {
  std::string user;
  std::string password;
};

// The vendor build's preset account from K4DDNSUtil.dll, which reports through the client's
// message dialog. Nothing when the library or its entry point is missing (after a message) or
// when the library has no account for this machine.
std::optional<VendorAccount> FetchVendorAccount();

// The settings value "vendor" of the vendor build; compared exactly.
inline constexpr std::string_view kVendorBuild = "oemvnd1";

}  // namespace quorin::client
