// One HTTP GET to the login server through the system's HTTP stack (WinINet on Windows with
// the system's proxy configuration, libcurl elsewhere with the proxy environment), as the
// login uses it: agent "HttpClient", a fresh fetch that bypasses every cache, and, when a host
// header name is given, the header lines
//
//   "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
//   "Host:   <name>\r\n"
//
// written exactly so (two blanks after "User-Agent:", three after "Host:"); the login server
// has always received them in that form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/http_client.h"
#include "platform/stop_token.h"

namespace quorin::client {

inline constexpr std::string_view kFetchAgent = "HttpClient";
inline constexpr std::string_view kFetchAcceptAndAgentLines =
    "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

// A text answer longer than this is no answer of the login server (whose replies stay far
// below it); it is refused rather than held in memory.
inline constexpr std::size_t kMaxFetchTextBytes = 1024 * 1024;

// The extra header lines for a host header name; empty for an empty name. A name is cut at
// its first control character so that it can never start a header line of its own.
std::string FetchHeaderLines(std::string_view hostHeader);

// Fetches `url`. `timeoutMs` bounds the whole exchange: the server's answer (connect, request,
// status and headers) and the body after it, however the server spreads its bytes; an answer
// that comes later counts as none. A stop request ends the fetch as a failure.
//
// With `saveAs` empty the result is the body, its lines joined with "\r\n" and white space
// removed at both ends. Otherwise the body is written to the file `saveAs` and the result is
// that name. Every failure (no answer, a status other than 200, a body that breaks off, a
// file that cannot be written) gives the empty text; a file that could not be completed is
// removed.
std::string FetchUrl(std::string_view url, std::uint32_t timeoutMs, std::string_view hostHeader,
                     std::string_view saveAs,
                     platform::HttpClient& http = platform::SystemHttpClient(),
                     platform::StopToken stop = {});

// The body text as FetchUrl returns it: lines (ended by "\n" or "\r\n") joined with "\r\n",
// then white space removed at both ends.
std::string NormaliseFetchedText(std::string_view body);

}  // namespace quorin::client
