// The HTTP stack on Windows: WinINet with the system's proxy configuration.
//
// WinINet's calls block, and their time-outs cannot be trusted: InternetOpenUrl has no
// dependable one, and Wine ignores the receive time-out altogether. So a worker thread makes
// every WinINet call of one exchange (the open, then the reads, which it keeps a little ahead
// of the caller), and the caller only waits for what the worker hands over, each wait bounded
// by its time-out, the exchange's overall deadline and the stop request. A caller that gives
// up closes the session, which ends a call still pending in the worker, and leaves; the worker
// holds the only state it writes (shared, reference-counted) and ends on its own.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "common/text_tools.h"
#include "platform/http_client.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Fresh fetch, nothing written to the cache, ASCII transfer: the flags the client has always
// opened its URLs with.
constexpr DWORD kOpenFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_TRANSFER_ASCII;

// How far the worker reads ahead of the caller, and the most it asks for at once.
constexpr std::size_t kReadAhead = 256 * 1024;
constexpr DWORD kReadPiece = 64 * 1024;

// What the caller and the worker share. Handles are closed under the lock, exactly once.
struct Exchange {
  std::mutex mutex;
  std::condition_variable changed;
  HINTERNET session = nullptr;
  HINTERNET file = nullptr;
  bool workerInCall = false;  // the worker is inside a WinINet call on these handles
  bool abandoned = false;     // the caller has gone
  bool opened = false;        // the open has returned (file set when it succeeded)
  int status = 0;
  std::optional<std::int64_t> contentLength;
  std::string pending;  // body bytes read ahead and not yet taken
  bool ended = false;   // the body has ended (or failed, see failed)
  bool failed = false;

  ~Exchange() { CloseHandles(); }

  void CloseHandles() {
    if (file != nullptr)
      ::InternetCloseHandle(file);
    if (session != nullptr)
      ::InternetCloseHandle(session);
    file = nullptr;
    session = nullptr;
  }

  // The caller gives up. A call the worker is making is ended by closing the session (and with
  // it the file below it); otherwise nothing is in use and both go at once.
  void Abandon(std::unique_lock<std::mutex>& lock) {
    abandoned = true;
    if (workerInCall) {
      if (session != nullptr)
        ::InternetCloseHandle(session);
      session = nullptr;
      file = nullptr;  // closed with its session
    } else {
      CloseHandles();
    }
    lock.unlock();
    changed.notify_all();
  }
};

void ReadStatusAndLength(HINTERNET file, Exchange& exchange) {
  DWORD code = 0;
  DWORD size = sizeof code;
  if (::HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                       nullptr)) {
    exchange.status = static_cast<int>(code);
  }
  wchar_t length[32] = {};
  DWORD lengthSize = sizeof length;
  if (::HttpQueryInfoW(file, HTTP_QUERY_CONTENT_LENGTH, length, &lengthSize, nullptr)) {
    const std::string text = Utf8FromWide(length);
    if (!text.empty() && text.size() < 19 &&
        text.find_first_not_of("0123456789") == std::string::npos) {
      exchange.contentLength = std::stoll(text);
    }
  }
}

// The worker: opens the URL, then reads the body ahead of the caller until it ends, fails or
// the caller gives up.
void RunExchange(const std::shared_ptr<Exchange>& exchange, const std::wstring& url,
                 const std::wstring& headers) {
  std::unique_lock lock(exchange->mutex);
  if (exchange->abandoned)
    return;
  HINTERNET session = exchange->session;
  exchange->workerInCall = true;
  lock.unlock();
  HINTERNET file =
      ::InternetOpenUrlW(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                         static_cast<DWORD>(headers.size()), kOpenFlags, 1);
  lock.lock();
  exchange->workerInCall = false;
  if (exchange->abandoned) {
    if (file != nullptr && exchange->session != nullptr)
      ::InternetCloseHandle(file);
    exchange->CloseHandles();
    return;
  }
  exchange->file = file;
  if (file != nullptr)
    ReadStatusAndLength(file, *exchange);
  exchange->opened = true;
  exchange->changed.notify_all();
  if (file == nullptr)
    return;

  std::string piece(kReadPiece, '\0');
  std::int64_t received = 0;
  while (true) {
    exchange->changed.wait(
        lock, [&] { return exchange->abandoned || exchange->pending.size() < kReadAhead; });
    if (exchange->abandoned) {
      exchange->CloseHandles();
      return;
    }
    exchange->workerInCall = true;
    lock.unlock();
    // InternetReadFile waits until the whole buffer is full; asking first how much has
    // arrived makes each read take what is there.
    DWORD available = 0;
    DWORD read = 0;
    bool ok = ::InternetQueryDataAvailable(file, &available, 0, 0) != FALSE;
    if (ok && available > 0)
      ok = ::InternetReadFile(file, piece.data(), std::min(available, kReadPiece), &read) != FALSE;
    lock.lock();
    exchange->workerInCall = false;
    if (exchange->abandoned) {
      exchange->CloseHandles();
      return;
    }
    if (ok && read > 0) {
      received += read;
      exchange->pending.append(piece.data(), read);
    } else {
      // WinINet reports a connection closed before the announced length as a normal end.
      const bool cut = exchange->contentLength && received < *exchange->contentLength;
      exchange->ended = true;
      exchange->failed = !ok || cut;
    }
    exchange->changed.notify_all();
    if (exchange->ended)
      return;
  }
}

// Waits on the exchange until `ready()` holds, `deadline` passes or `stop` is requested; true
// when `ready()` holds.
template <typename Ready>
bool WaitOn(Exchange& exchange, std::unique_lock<std::mutex>& lock, Clock::time_point deadline,
            const StopToken& stop, Ready ready) {
  return exchange.changed.wait_until(lock, deadline, [&] {
    return ready() || stop.StopRequested();
  }) && ready();
}

class WinInetResponse : public HttpResponse {
 public:
  WinInetResponse(std::shared_ptr<Exchange> exchange, const HttpRequest& request,
                  Clock::time_point totalDeadline, StopToken stop)
      : exchange_(std::move(exchange)),
        readTimeout_(request.readTimeout),
        totalDeadline_(totalDeadline),
        stop_(std::move(stop)) {
    std::lock_guard lock(exchange_->mutex);
    status_ = exchange_->status;
    contentLength_ = exchange_->contentLength;
  }

  ~WinInetResponse() override {
    std::unique_lock lock(exchange_->mutex);
    exchange_->Abandon(lock);
  }

  int Status() const override { return status_; }
  std::optional<std::int64_t> ContentLength() const override { return contentLength_; }

  std::ptrdiff_t Read(void* buffer, std::size_t size) override {
    if (size == 0)
      return 0;
    const StopCallback wake(stop_, [exchange = exchange_] {
      { std::lock_guard lock(exchange->mutex); }
      exchange->changed.notify_all();
    });
    std::unique_lock lock(exchange_->mutex);
    if (failed_)
      return -1;
    const auto deadline = std::min(Clock::now() + readTimeout_, totalDeadline_);
    if (!WaitOn(*exchange_, lock, deadline, stop_,
                [this] { return !exchange_->pending.empty() || exchange_->ended; })) {
      failed_ = true;  // too long a silence, past the deadline, or stopped
      return -1;
    }
    if (exchange_->pending.empty())
      return exchange_->failed ? -1 : 0;
    const std::size_t take = std::min(size, exchange_->pending.size());
    std::memcpy(buffer, exchange_->pending.data(), take);
    exchange_->pending.erase(0, take);
    lock.unlock();
    exchange_->changed.notify_all();
    return static_cast<std::ptrdiff_t>(take);
  }

 private:
  const std::shared_ptr<Exchange> exchange_;
  const std::chrono::milliseconds readTimeout_;
  const Clock::time_point totalDeadline_;
  const StopToken stop_;
  int status_ = 0;
  std::optional<std::int64_t> contentLength_;
  bool failed_ = false;
};

class WinInetHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpResponse> Open(const HttpRequest& request, StopToken stop) override {
    if (!StartsWithIgnoreCase(request.url, "http://") &&
        !StartsWithIgnoreCase(request.url, "https://")) {
      return nullptr;
    }
    const auto start = Clock::now();
    const auto totalDeadline = start + TotalTimeoutOf(request);
    auto exchange = std::make_shared<Exchange>();
    exchange->session = ::InternetOpenW(WideFromUtf8(request.userAgent).c_str(),
                                        INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (exchange->session == nullptr)
      return nullptr;
    DWORD connectMs = static_cast<DWORD>(request.openTimeout.count());
    DWORD readMs = static_cast<DWORD>(request.readTimeout.count());
    ::InternetSetOptionW(exchange->session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs,
                         sizeof connectMs);
    ::InternetSetOptionW(exchange->session, INTERNET_OPTION_RECEIVE_TIMEOUT, &readMs,
                         sizeof readMs);

    try {
      std::thread([exchange, url = WideFromUtf8(request.url),
                   headers = WideFromUtf8(request.extraHeaders)] {
        RunExchange(exchange, url, headers);
      }).detach();
    } catch (const std::system_error&) {
      return nullptr;
    }

    const StopCallback wake(stop, [exchange] {
      { std::lock_guard lock(exchange->mutex); }
      exchange->changed.notify_all();
    });
    std::unique_lock lock(exchange->mutex);
    const auto deadline = std::min(start + request.openTimeout, totalDeadline);
    if (!WaitOn(*exchange, lock, deadline, stop, [&] { return exchange->opened; }) ||
        exchange->file == nullptr) {
      exchange->Abandon(lock);
      return nullptr;
    }
    lock.unlock();
    return std::make_unique<WinInetResponse>(std::move(exchange), request, totalDeadline,
                                             std::move(stop));
  }
};

}  // namespace

HttpClient& SystemHttpClient() {
  static WinInetHttpClient client;
  return client;
}

}  // namespace quorin::platform
