// Asking the update service which version it offers.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/http_client.h"
#include "updater/version_offer.h"

namespace quorin::updater {

// The service has this long to answer with its status and headers; a later answer counts as
// none. The request is then abandoned by the HTTP layer, never left writing into our memory.
inline constexpr std::chrono::milliseconds kQueryOpenTimeout{4000};
// The reply is a few short lines; more than this is not read.
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;
// Bounds on reading the reply body once the headers are in.
inline constexpr std::chrono::milliseconds kQueryReadTimeout{10000};
inline constexpr std::chrono::milliseconds kQueryBodyDeadline{30000};

// The reply text as an offer. Lines end at a line feed; carriage returns are dropped wherever
// they stand. Each line is tested against the keys CurrentVersion, URL, CheckSum, Description,
// ForceUpdate, StrictVersion in this order: when the line begins with a key (case-sensitive),
// the key and the one character after it are cut off, leading blanks are removed, and the rest
// becomes that key's value and also the text the following keys are tested against. A later
// line for a key replaces the earlier value.
VersionOffer ParseVersionReply(std::string_view body);

// One query: a GET of `url` answered with status 200, its body parsed. An empty URL, no answer
// in time, a network error, any other status, or a body that breaks off (a read error, or not
// complete within kQueryBodyDeadline) give an empty offer. A body longer than kMaxReplyBytes
// is read up to that length only.
VersionOffer QueryVersion(platform::HttpClient& http, const std::string& url);

// A relative download URL made absolute against the primary query URL: "http://..." stays as
// it is, "/path" keeps the primary URL's scheme and host, anything else (also "https://...")
// replaces what follows the primary URL's last "/".
std::string ResolveOfferUrl(std::string_view offerUrl, std::string_view primaryUrl);

// Queries the primary URL, and the secondary one when the primary's offer has neither URL nor
// CurrentVersion; an offer with both gets its URL resolved against the primary URL.
VersionOffer QueryVersionWithFallback(platform::HttpClient& http, const std::string& primaryUrl,
                                      const std::string& secondaryUrl);

}  // namespace quorin::updater
