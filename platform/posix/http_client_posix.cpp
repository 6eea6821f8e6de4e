// The HTTP stack on POSIX systems: the platform's own bounded TCP steps carry the exchange,
// Boost.Beast's parser reads the answer (http_response_parser.h), and the proxy comes from the
// environment (proxy_environment.h). No TLS library is involved: every request of the
// provider's protocol is plain HTTP, and an "https://" URL fails like an unreachable server.
//
// Everything runs on the caller's thread, so a request that times out or is stopped leaves
// nothing behind that could write into the caller's memory: each wait is a slice of at most
// kStopCheckSlice, bounded by the step's time-out and the exchange's overall deadline, and
// looks at the stop request between slices. There is no cache, so every Open reaches the
// server; through a proxy the request says "no-cache", so the proxy asks the server too.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "common/text_tools.h"
#include "platform/http_client.h"
#include "platform/network.h"
#include "platform/posix/http_response_parser.h"
#include "platform/posix/proxy_environment.h"
#include "platform/tcp_connection.h"

namespace quorin::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Redirections followed before an exchange gives up, as the curl-based stack did.
constexpr int kMaxRedirections = 5;

milliseconds Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  return std::max(left, milliseconds(0));
}

struct HttpUrl {
  std::string host;
  std::uint16_t port = 80;
  std::string target;  // path and query, at least "/"

  // The "Host:" value: the port shows when it is not the default.
  std::string Authority() const { return port == 80 ? host : host + ":" + std::to_string(port); }
};

// An absolute "http://host[:port][/path][?query]" URL. User names in URLs, IPv6 literals and
// other schemes are not taken.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
  if (!StartsWithIgnoreCase(url, "http://"))
    return std::nullopt;
  url.remove_prefix(7);
  url = url.substr(0, url.find('#'));
  const std::size_t pathStart = url.find_first_of("/?");
  const std::string_view authority = url.substr(0, pathStart);
  HttpUrl parsed;
  parsed.target = pathStart == std::string_view::npos ? "/" : std::string(url.substr(pathStart));
  if (parsed.target.front() == '?')
    parsed.target.insert(0, "/");
  if (parsed.target.find_first_of(" \t\r\n") != std::string::npos)
    return std::nullopt;
  const std::size_t colon = authority.find(':');
  parsed.host = std::string(authority.substr(0, colon));
  if (colon != std::string_view::npos) {
    const std::string_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    const int port = std::stoi(std::string(digits));
    if (port <= 0 || port > 65535)
      return std::nullopt;
    parsed.port = static_cast<std::uint16_t>(port);
  }
  if (parsed.host.empty() || parsed.host.find_first_of("@[]% \t\r\n") != std::string::npos)
    return std::nullopt;
  return parsed;
}

// Where a "Location:" value leads from `base`: an absolute URL, or a path on the same server.
std::string RedirectTarget(const HttpUrl& base, const std::string& location) {
  if (location.find("://") != std::string::npos)
    return location;
  if (!location.empty() && location.front() == '/')
    return "http://" + base.Authority() + location;
  const std::string path = base.target.substr(0, base.target.find('?'));
  return "http://" + base.Authority() + path.substr(0, path.rfind('/') + 1) + location;
}

// The caller's header lines, each without its "\r\n".
std::vector<std::string> HeaderLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos)
      end = text.size();
    if (end > start)
      lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool HasLineNamed(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.size() > name.size() && line[name.size()] == ':' &&
           EqualsIgnoreCase(std::string_view(line).substr(0, name.size()), name);
  });
}

// The request's text. The stack's own Host, User-Agent and Accept lines come first, each only
// when the caller gave none; the caller's lines follow in the caller's order, as given (the
// login server expects Accept, User-Agent, Host in that order).
std::string RequestText(const HttpUrl& url, const HttpRequest& request,
                        const std::vector<std::string>& lines, const ProxyRoute& route) {
  const bool viaProxy = route.kind == ProxyRoute::Kind::kProxy;
  std::string text = "GET ";
  text += viaProxy ? "http://" + url.Authority() + url.target : url.target;
  text += " HTTP/1.1\r\n";
  if (!HasLineNamed(lines, "Host"))
    text += "Host: " + url.Authority() + "\r\n";
  if (!HasLineNamed(lines, "User-Agent"))
    text += "User-Agent: " + request.userAgent + "\r\n";
  if (!HasLineNamed(lines, "Accept"))
    text += "Accept: */*\r\n";
  if (viaProxy) {
    if (!route.proxy.user.empty())
      text += "Proxy-Authorization: " + ProxyAuthorization(route.proxy) + "\r\n";
    text += "Pragma: no-cache\r\nCache-Control: no-cache\r\n";
  }
  for (const std::string& line : lines)
    text += line + "\r\n";
  return text + "\r\n";
}

// One connection's answer: the header arrives in Open, the body in Read.
class Exchange {
 public:
  Exchange(std::unique_ptr<TcpConnection> connection, StopToken stop)
      : connection_(std::move(connection)), stop_(std::move(stop)) {}

  HttpResponseParser& parser() { return parser_; }

  // Receives until `ready()` holds or the answer ends. False on an error, a cut answer, the
  // deadline or a stop request.
  template <typename Ready>
  bool ReceiveUntil(Clock::time_point deadline, Ready ready) {
    std::array<char, 16 * 1024> buffer{};
    while (!ready() && !parser_.MessageDone()) {
      const milliseconds left = Remaining(deadline);
      if (left.count() == 0 || stop_.StopRequested())
        return false;
      const std::ptrdiff_t got =
          connection_->ReceiveSome(buffer.data(), buffer.size(), std::min(left, kStopCheckSlice));
      if (got == TcpConnection::kTimedOut)
        continue;
      if (got < 0)
        return false;
      if (got == 0) {
        closed_ = true;
        return parser_.FeedEnd();
      }
      if (!parser_.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
        return false;
    }
    return true;
  }

  bool Ended() const { return closed_ || parser_.MessageDone(); }

 private:
  std::unique_ptr<TcpConnection> connection_;
  StopToken stop_;
  HttpResponseParser parser_;
  bool closed_ = false;
};

class PosixResponse : public HttpResponse {
 public:
  PosixResponse(std::unique_ptr<Exchange> exchange, const HttpRequest& request,
                Clock::time_point totalDeadline)
      : exchange_(std::move(exchange)),
        readTimeout_(request.readTimeout),
        totalDeadline_(totalDeadline),
        status_(exchange_->parser().Status()),
        contentLength_(exchange_->parser().ContentLength()) {}

  int Status() const override { return status_; }
  std::optional<std::int64_t> ContentLength() const override { return contentLength_; }

  std::ptrdiff_t Read(void* buffer, std::size_t size) override {
    if (size == 0)
      return 0;
    if (consumed_ == pending_.size()) {
      pending_.clear();
      consumed_ = 0;
      if (!exchange_->parser().HasBody()) {
        if (failed_)
          return -1;
        if (exchange_->Ended())
          return 0;
        const auto deadline = std::min(Clock::now() + readTimeout_, totalDeadline_);
        // The bytes that arrived before a failure are still handed out; the failure follows.
        failed_ =
            !exchange_->ReceiveUntil(deadline, [this] { return exchange_->parser().HasBody(); });
      }
      pending_ = exchange_->parser().TakeBody();
      if (pending_.empty())
        return failed_ ? -1 : 0;
    }
    const std::size_t take = std::min(size, pending_.size() - consumed_);
    std::memcpy(buffer, pending_.data() + consumed_, take);
    consumed_ += take;
    return static_cast<std::ptrdiff_t>(take);
  }

 private:
  std::unique_ptr<Exchange> exchange_;
  milliseconds readTimeout_;
  Clock::time_point totalDeadline_;
  int status_;
  std::optional<std::int64_t> contentLength_;
  bool failed_ = false;
  std::string pending_;  // body bytes taken from the parser and not yet read
  std::size_t consumed_ = 0;
};

// Sends the request to the server or the proxy and waits for the answer's header.
std::unique_ptr<Exchange> Ask(const HttpUrl& url, const HttpRequest& request,
                              const std::vector<std::string>& lines, Clock::time_point deadline,
                              const StopToken& stop) {
  const ProxyRoute route = ProxyRouteFromEnvironment(url.host);
  if (route.kind == ProxyRoute::Kind::kUnsupported)
    return nullptr;
  const bool viaProxy = route.kind == ProxyRoute::Kind::kProxy;
  const std::string& host = viaProxy ? route.proxy.host : url.host;
  const std::uint16_t port = viaProxy ? route.proxy.port : url.port;
  const auto lookupMs = static_cast<int>(std::max<std::int64_t>(1, Remaining(deadline).count()));
  const std::optional<Ipv4Address> address = ResolveIPv4(host, lookupMs, stop);
  if (!address || stop.StopRequested())
    return nullptr;
  std::unique_ptr<TcpConnection> connection =
      SystemTcpConnector().Connect(*address, port, Remaining(deadline), stop);
  if (!connection ||
      !SendAll(*connection, RequestText(url, request, lines, route), Remaining(deadline), stop)) {
    return nullptr;
  }
  auto exchange = std::make_unique<Exchange>(std::move(connection), stop);
  if (!exchange->ReceiveUntil(deadline, [&] { return exchange->parser().HeaderDone(); }) ||
      !exchange->parser().HeaderDone()) {
    return nullptr;
  }
  return exchange;
}

class PosixHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpResponse> Open(const HttpRequest& request, StopToken stop) override {
    const auto start = Clock::now();
    const auto totalDeadline = start + TotalTimeoutOf(request);
    const auto openDeadline = std::min(start + request.openTimeout, totalDeadline);
    std::optional<HttpUrl> url = ParseHttpUrl(request.url);
    std::vector<std::string> lines = HeaderLines(request.extraHeaders);
    for (int redirections = 0; url; ++redirections) {
      std::unique_ptr<Exchange> exchange = Ask(*url, request, lines, openDeadline, stop);
      if (!exchange)
        return nullptr;
      const int status = exchange->parser().Status();
      const std::string& location = exchange->parser().Location();
      if (status < 300 || status >= 400 || status == 304 || location.empty())
        return std::make_unique<PosixResponse>(std::move(exchange), request, totalDeadline);
      if (redirections == kMaxRedirections)
        return nullptr;
      std::optional<HttpUrl> next = ParseHttpUrl(RedirectTarget(*url, location));
      // A "Host:" line the caller wrote names the first server, not another one.
      if (next && next->Authority() != url->Authority()) {
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const std::string& line) {
                                     return StartsWithIgnoreCase(line, "host:");
                                   }),
                    lines.end());
      }
      url = std::move(next);
    }
    return nullptr;
  }
};

}  // namespace

HttpClient& SystemHttpClient() {
  static PosixHttpClient client;
  return client;
}

}  // namespace quorin::platform
