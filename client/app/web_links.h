// The web and help commands of the menus and the login view's link button: the addresses of
// Language.ini's "URL" section, the help file beside the program and the ERP frame page of
// the provider's web site.
#pragma once

#include <string>
#include <string_view>

namespace quorin::client {

// Opens the address of `key` in Language.ini's "URL" section with the verb "open". A missing
// key, an empty value or a text that is not a web address (IsWebAddress) opens nothing and
// shows nothing: only http and https addresses go to the shell, so that an edited
// Language.ini cannot make a menu item start a program or open a folder.
// True when the shell was asked.
bool OpenLanguageLink(std::string_view key);

// The help file "tilro.chm" in the program's folder, opened with the shell's default verb.
void OpenHelpFile();

// The link button: the registration guide, or for an ERP installation ("erp" set) the
// provider's ERP frame page in the HTML dialog.
void OpenLinkButtonTarget();

// The ERP frame page's address on the provider's web site `site` ("http://host" or with a
// trailing slash).
std::string ErpFramePageAddress(std::string_view site);

}  // namespace quorin::client
