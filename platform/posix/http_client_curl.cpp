// The HTTP stack on POSIX systems: libcurl's multi interface, driven by the caller's thread so
// that every wait is bounded and can be stopped. libcurl applies the proxy environment
// variables (http_proxy, no_proxy) as WinINet applies the system's proxy configuration.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "common/text_tools.h"
#include "platform/http_client.h"

namespace quorin::platform {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at its stop request.
constexpr auto kPollSlice = std::chrono::milliseconds(100);

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Whether the extra header lines hold a "Host:" line (the name compared without regard to case).
bool HasHostLine(const std::string& lines) {
  std::size_t start = 0;
  while (start < lines.size()) {
    if (lines.size() - start >= 5 &&
        ToLowerAscii(std::string_view(lines).substr(start, 5)) == "host:")
      return true;
    const std::size_t end = lines.find("\r\n", start);
    if (end == std::string::npos)
      break;
    start = end + 2;
  }
  return false;
}

class CurlResponse : public HttpResponse {
 public:
  CurlResponse(const HttpRequest& request, StopToken stop)
      : readTimeout_(request.readTimeout),
        totalDeadline_(Clock::now() + TotalTimeoutOf(request)),
        stop_(std::move(stop)) {}

  ~CurlResponse() override {
    if (multi_ && easy_)
      curl_multi_remove_handle(multi_.get(), easy_.get());
  }

  bool Start(const HttpRequest& request) {
    multi_.reset(curl_multi_init());
    easy_.reset(curl_easy_init());
    if (!multi_ || !easy_)
      return false;
    CURL* easy = easy_.get();
    // libcurl moves a caller's "Host:" line to the top of the request. An empty "Host:" entry
    // first withdraws curl's own Host line, so the caller's line goes out where the caller put
    // it (the login server expects Accept, User-Agent, Host in that order).
    if (HasHostLine(request.extraHeaders) && !AppendHeader("Host:"))
      return false;
    std::size_t start = 0;
    while (start < request.extraHeaders.size()) {
      std::size_t end = request.extraHeaders.find("\r\n", start);
      if (end == std::string::npos)
        end = request.extraHeaders.size();
      const std::string line = request.extraHeaders.substr(start, end - start);
      if (!line.empty() && !AppendHeader(line))
        return false;
      start = end + 2;
    }
    const long openMs = static_cast<long>(std::max<std::int64_t>(1, request.openTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_.get());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, openMs);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlResponse::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlResponse::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK)
      return false;
    return Pump(std::min(Clock::now() + request.openTimeout, totalDeadline_),
                [this] { return headersDone_; }) &&
           headersDone_;
  }

  int Status() const override { return status_; }
  std::optional<std::int64_t> ContentLength() const override { return contentLength_; }

  std::ptrdiff_t Read(void* buffer, std::size_t size) override {
    if (size == 0)
      return 0;
    if (pending_.size() == consumed_) {
      pending_.clear();
      consumed_ = 0;
      if (!finished_ && !Pump(std::min(Clock::now() + readTimeout_, totalDeadline_),
                              [this] { return !pending_.empty() || finished_; })) {
        return -1;
      }
      if (pending_.empty())
        return result_ == CURLE_OK ? 0 : -1;
    }
    const std::size_t take = std::min(size, pending_.size() - consumed_);
    std::memcpy(buffer, pending_.data() + consumed_, take);
    consumed_ += take;
    return static_cast<std::ptrdiff_t>(take);
  }

 private:
  bool AppendHeader(const std::string& line) {
    curl_slist* grown = curl_slist_append(headers_.get(), line.c_str());
    if (grown == nullptr)
      return false;
    headers_.release();
    headers_.reset(grown);
    return true;
  }

  // Runs the transfer until `ready()` holds, the transfer ends, the deadline passes or a stop
  // is requested. True when `ready()` holds or the transfer ended.
  template <typename Ready>
  bool Pump(Clock::time_point deadline, Ready ready) {
    while (true) {
      int running = 0;
      if (curl_multi_perform(multi_.get(), &running) != CURLM_OK)
        return false;
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg == CURLMSG_DONE) {
          finished_ = true;
          result_ = message->data.result;
        }
      }
      if (ready())
        return true;
      if (finished_)
        return result_ == CURLE_OK;
      const auto now = Clock::now();
      if (now >= deadline || stop_.StopRequested())
        return false;
      const auto slice = std::min<Clock::duration>(deadline - now, kPollSlice);
      const int sliceMs = static_cast<int>(std::max<std::int64_t>(
          1, std::chrono::duration_cast<std::chrono::milliseconds>(slice).count()));
      curl_multi_poll(multi_.get(), nullptr, 0, sliceMs, nullptr);
    }
  }

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<CurlResponse*>(user);
    const std::size_t bytes = size * count;
    const std::string line = TrimText(std::string_view(data, bytes));
    if (StartsWithIgnoreCase(line, "HTTP/")) {
      // A new response begins (after a redirection or an interim answer).
      self->sawLocation_ = false;
      self->contentLength_.reset();
    } else if (StartsWithIgnoreCase(line, "location:")) {
      self->sawLocation_ = true;
    } else if (StartsWithIgnoreCase(line, "content-length:")) {
      const std::string value = TrimText(std::string_view(line).substr(15));
      if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos &&
          value.size() < 19) {
        self->contentLength_ = std::stoll(value);
      }
    } else if (line.empty()) {
      long code = 0;
      curl_easy_getinfo(self->easy_.get(), CURLINFO_RESPONSE_CODE, &code);
      const bool interim = code >= 100 && code < 200;
      const bool redirected = code >= 300 && code < 400 && self->sawLocation_;
      if (!interim && !redirected) {
        self->status_ = static_cast<int>(code);
        self->headersDone_ = true;
      }
    }
    return bytes;
  }

  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<CurlResponse*>(user);
    self->pending_.append(data, size * count);
    return size * count;
  }

  std::unique_ptr<CURLM, MultiDeleter> multi_;
  std::unique_ptr<CURL, EasyDeleter> easy_;
  std::unique_ptr<curl_slist, ListDeleter> headers_;
  std::chrono::milliseconds readTimeout_;
  Clock::time_point totalDeadline_;
  StopToken stop_;
  bool headersDone_ = false;
  bool sawLocation_ = false;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
  int status_ = 0;
  std::optional<std::int64_t> contentLength_;
  std::string pending_;  // body bytes received and not yet read
  std::size_t consumed_ = 0;
};

class CurlHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpResponse> Open(const HttpRequest& request, StopToken stop) override {
    if (!StartsWithIgnoreCase(request.url, "http://") &&
        !StartsWithIgnoreCase(request.url, "https://")) {
      return nullptr;
    }
    InitialiseCurlOnce();
    auto response = std::make_unique<CurlResponse>(request, std::move(stop));
    if (!response->Start(request))
      return nullptr;
    return response;
  }
};

}  // namespace

HttpClient& SystemHttpClient() {
  static CurlHttpClient client;
  return client;
}

}  // namespace quorin::platform
