// The provider's advertisement page, opened after the login of an account whose key asks for
// it: "/us/report/open_ad.php" on the provider's web site with the account's user name, key
// and randText as query parameters, shown in the platform's HTML dialog.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "client/local/settings.h"
#include "client/monitor/account_credentials.h"

namespace quorin::client {

inline constexpr std::string_view kAdvertisementPath = "/us/report/open_ad.php?user_name=";
// The HTML dialog takes at most this many characters of the address.
inline constexpr std::size_t kMaxAdvertisementChars = 256;

// "<site>/us/report/open_ad.php?user_name=<user>&key=<key>&randText=<randText>", cut to 256
// characters. The values are escaped where they would change the address's meaning ('&',
// '=', '#', '%', blanks, control characters), as in every other request of the client.
std::string AdvertisementAddress(const AccountCredentials& credentials, const Settings& settings);

// Shows the page through `showHtmlPage` (the platform's HTML dialog) and returns its result;
// 0 ("not shown") when there is no dialog to show it in.
int OpenAdvertisement(const ClientContext& context, const Settings& settings,
                      const std::function<int(std::string_view address)>& showHtmlPage);

}  // namespace quorin::client
