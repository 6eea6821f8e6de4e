// The product title: string 57717 with the current version, for example "QuorinFree ver4.2.0".
// It names the main window, the tray tip and the window property by which a second start
// finds the first; the version in it keeps different versions apart.
#pragma once

#include <string>
#include <string_view>

namespace quorin::client {

// The format's first "%s" replaced by the version and every "%%" by "%". The format comes from
// the resource library, so it is never handed to printf: any other '%' stays as it is.
std::string FormatProductTitle(std::string_view format, std::string_view version);

// The process's title ("QuorinFree" until start-up sets it).
void SetProductTitle(std::string_view title);
std::string ProductTitle();

}  // namespace quorin::client
