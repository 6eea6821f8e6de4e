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

#include "common/param_encoding.h"

namespace quorin::client {

std::string BuildRequestLine(std::string_view path, bool isPost);

// name=value& with the name passed through EncodeParamText and the value written in the
// system code page and passed through EncodeParamBytes (the parameter byte count of BuildBody
// counts those bytes).
std::string BuildParam(std::string_view name, std::string_view value);

std::string BuildBody(std::string_view parameters, bool isPost);

// The parameter encoding lives in common/ because the updater's version query encodes its
// values the same way; the client's callers keep their name for it.
using quorin::EncodeParamBytes;
using quorin::EncodeParamText;

}  // namespace quorin::client
