// Request parameters in URLs and form bodies, shared by the client's requests and the updater's
// version query.
#pragma once

#include <string>
#include <string_view>

namespace quorin {

// The text as it is, except for the characters that would change what the request means:
// '%', '&', '=', '+', '#', the blank and every control character (CR and LF above all, which
// would start a new header line) become %XX with uppercase hex digits. Everything else,
// bytes above 127 included, is sent unchanged.
std::string EncodeParamText(std::string_view text);

// The same, and every byte above 127 becomes %XX too: the form of the client's parameters,
// which are bytes of the system code page. Escaped, they reach the server as they are whatever
// the stack on the way does to a URL (WinINet takes it as UTF-16), and the server's decoding
// gives back the very bytes.
std::string EncodeParamBytes(std::string_view text);

}  // namespace quorin
