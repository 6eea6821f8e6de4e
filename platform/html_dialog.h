// Showing a web page in the system's modal HTML dialog.
#pragma once

#include <string_view>

namespace quorin::platform {

// Shows the page at `url` in a modal HTML dialog with no owner window and returns 1 once the
// user has closed it. Returns 0 when the page cannot be shown: the HTML engine, its dialog
// entry point or a moniker for the address is missing, the address is empty, or the dialog
// failed. Nothing is reported to the user.
int ShowHtmlPage(std::string_view url);

}  // namespace quorin::platform
