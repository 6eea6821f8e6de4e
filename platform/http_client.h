// One HTTP GET through the system's HTTP stack: WinINet on Windows (which applies the system's
// proxy configuration); elsewhere the platform's TCP steps with Boost.Beast's parser, no TLS
// (which applies the proxy environment variables, see posix/proxy_environment.h).
//
// Open() returns once the status line and headers have arrived, so its time-out bounds the
// connect, the request and the server's first answer; the body is then read in pieces, each
// read bounded by the read time-out, and the whole exchange by its total time-out. A request
// that times out or is stopped is abandoned in a way that can never write into the caller's
// memory afterwards.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/stop_token.h"

namespace quorin::platform {

struct HttpRequest {
  std::string url;                       // an absolute "http://" URL
  std::string userAgent = "HttpClient";  // the session's agent name
  // Extra header lines sent as they are, each ending in "\r\n" (for example a "Range:" line).
  // A "User-Agent:" or "Host:" line here replaces the stack's own.
  std::string extraHeaders;
  std::chrono::milliseconds openTimeout{5000};   // until status and headers have arrived
  std::chrono::milliseconds readTimeout{30000};  // longest silence while the body arrives
  // The whole exchange, from the call of Open to the body's last byte, so that a server which
  // drips a byte just before each read time-out cannot keep the caller for ever. Zero leaves
  // the exchange to the two time-outs above.
  std::chrono::milliseconds totalTimeout{0};
};

// The overall bound of a request: its total time-out, or, for none, a year (a bound far away
// that deadlines can still be computed with).
inline std::chrono::milliseconds TotalTimeoutOf(const HttpRequest& request) {
  return request.totalTimeout.count() > 0 ? request.totalTimeout
                                          : std::chrono::milliseconds(std::chrono::hours(24 * 365));
}

class HttpResponse {
 public:
  virtual ~HttpResponse() = default;
  // The status code of the final response (after redirections).
  virtual int Status() const = 0;
  // The body length the server announced, if it announced one.
  virtual std::optional<std::int64_t> ContentLength() const = 0;
  // Reads up to `size` bytes of the body: the count read, 0 at the end of the body, -1 on an
  // error, a time-out or a stop request.
  virtual std::ptrdiff_t Read(void* buffer, std::size_t size) = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Sends the request and waits for the answer's status and headers. Nothing when the URL
  // cannot be opened, no answer came within the open time-out, or `stop` was requested.
  virtual std::unique_ptr<HttpResponse> Open(const HttpRequest& request, StopToken stop = {}) = 0;
};

// The system's HTTP stack.
HttpClient& SystemHttpClient();

}  // namespace quorin::platform
