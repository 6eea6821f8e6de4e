// The request texts of the raw-socket exchange with the login server. A request is
// BuildRequestLine + one BuildParam per parameter + BuildBody:
//
//   GET:  "GET  /path?n1=v1&n2=v2&\n"   (two blanks, no protocol version)
//   POST: "POST /path HTTP/1.0\n"
//         "Content-Type:application/x-www-form-urlencoded\n"
//         "Content-Length:<length of the parameters>\n"
//         "\n"
//         "n1=v1&n2=v2&\n"              (the last line feed is not counted)
//
// Header lines end in a bare line feed, as the login server has always been sent them.
#pragma once

#include <string>
#include <string_view>

namespace quorin::client {

std::string BuildRequestLine(std::string_view path, bool isPost);

// name=value& with both parts passed through EncodeParamText.
std::string BuildParam(std::string_view name, std::string_view value);

std::string BuildBody(std::string_view parameters, bool isPost);

// The text as it is, except for the characters that would change what the request means:
// '%', '&', '=', '+', '#', the blank and every control character (CR and LF above all, which
// would start a new header line) become %XX with uppercase hex digits. Everything else,
// bytes above 127 included, is sent unchanged.
std::string EncodeParamText(std::string_view text);

}  // namespace quorin::client
