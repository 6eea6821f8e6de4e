// The HTTP stack on Windows: WinINet with the system's proxy configuration.
//
// InternetOpenUrl blocks until the answer's headers arrive and has no dependable time-out of its
// own, so a worker thread opens the URL while the caller waits. When the wait runs out, the
// caller closes the internet session, which makes the pending open fail, and leaves; the worker
// keeps the only state it writes (shared, reference-counted) and closes whatever it opened late.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
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

struct InternetHandleCloser {
  void operator()(void* handle) const {
    if (handle != nullptr)
      ::InternetCloseHandle(static_cast<HINTERNET>(handle));
  }
};
using UniqueInternet = std::unique_ptr<void, InternetHandleCloser>;

struct OpenState {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
  HINTERNET file = nullptr;
};

class WinInetResponse : public HttpResponse {
 public:
  WinInetResponse(UniqueInternet session, UniqueInternet file)
      : session_(std::move(session)), file_(std::move(file)) {
    DWORD code = 0;
    DWORD size = sizeof code;
    if (::HttpQueryInfoW(file_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                         nullptr)) {
      status_ = static_cast<int>(code);
    }
    wchar_t length[32] = {};
    DWORD lengthSize = sizeof length;
    if (::HttpQueryInfoW(file_.get(), HTTP_QUERY_CONTENT_LENGTH, length, &lengthSize, nullptr)) {
      const std::string text = Utf8FromWide(length);
      if (!text.empty() && text.size() < 19 &&
          text.find_first_not_of("0123456789") == std::string::npos) {
        contentLength_ = std::stoll(text);
      }
    }
  }

  int Status() const override { return status_; }
  std::optional<std::int64_t> ContentLength() const override { return contentLength_; }

  // WinINet reports a connection closed before the announced length as a normal end.
  std::ptrdiff_t EndOfBody() const {
    return contentLength_ && received_ < *contentLength_ ? -1 : 0;
  }

  std::ptrdiff_t Read(void* buffer, std::size_t size) override {
    if (size == 0)
      return 0;
    // InternetReadFile waits until the whole buffer is full; asking first how much has arrived
    // makes a read return what is there, each wait bounded by the receive time-out.
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(file_.get(), &available, 0, 0))
      return -1;
    if (available == 0)
      return EndOfBody();
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>({size, available, 1u << 20}));
    if (!::InternetReadFile(file_.get(), buffer, want, &read))
      return -1;
    if (read == 0)
      return EndOfBody();
    received_ += read;
    return static_cast<std::ptrdiff_t>(read);
  }

 private:
  UniqueInternet session_;
  UniqueInternet file_;
  int status_ = 0;
  std::optional<std::int64_t> contentLength_;
  std::int64_t received_ = 0;
};

class WinInetHttpClient : public HttpClient {
 public:
  std::unique_ptr<HttpResponse> Open(const HttpRequest& request, StopToken stop) override {
    if (!StartsWithIgnoreCase(request.url, "http://") &&
        !StartsWithIgnoreCase(request.url, "https://")) {
      return nullptr;
    }
    UniqueInternet session(::InternetOpenW(WideFromUtf8(request.userAgent).c_str(),
                                           INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
      return nullptr;
    HINTERNET sessionHandle = static_cast<HINTERNET>(session.get());
    DWORD connectMs = static_cast<DWORD>(request.openTimeout.count());
    DWORD readMs = static_cast<DWORD>(request.readTimeout.count());
    ::InternetSetOptionW(sessionHandle, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs,
                         sizeof connectMs);
    ::InternetSetOptionW(sessionHandle, INTERNET_OPTION_RECEIVE_TIMEOUT, &readMs, sizeof readMs);

    auto state = std::make_shared<OpenState>();
    std::wstring url = WideFromUtf8(request.url);
    std::wstring headers = WideFromUtf8(request.extraHeaders);
    try {
      std::thread([state, sessionHandle, url = std::move(url), headers = std::move(headers)] {
        HINTERNET file = ::InternetOpenUrlW(sessionHandle, url.c_str(),
                                            headers.empty() ? nullptr : headers.c_str(),
                                            static_cast<DWORD>(headers.size()), kOpenFlags, 1);
        std::lock_guard lock(state->mutex);
        if (state->abandoned) {
          if (file != nullptr)
            ::InternetCloseHandle(file);
        } else {
          state->file = file;
        }
        state->finished = true;
        state->done.notify_all();
      }).detach();
    } catch (const std::system_error&) {
      return nullptr;
    }

    const auto deadline = Clock::now() + request.openTimeout;
    std::unique_lock lock(state->mutex);
    while (!state->finished && Clock::now() < deadline && !stop.StopRequested()) {
      state->done.wait_for(
          lock, std::min<Clock::duration>(deadline - Clock::now(), std::chrono::milliseconds(100)));
    }
    if (!state->finished) {
      // Too late: the worker closes its file itself; closing the session ends its open.
      state->abandoned = true;
      lock.unlock();
      session.reset();
      return nullptr;
    }
    UniqueInternet file(state->file);
    state->file = nullptr;
    lock.unlock();
    if (!file)
      return nullptr;
    ::InternetSetOptionW(static_cast<HINTERNET>(file.get()), INTERNET_OPTION_RECEIVE_TIMEOUT,
                         &readMs, sizeof readMs);
    return std::make_unique<WinInetResponse>(std::move(session), std::move(file));
  }
};

}  // namespace

HttpClient& SystemHttpClient() {
  static WinInetHttpClient client;
  return client;
}

}  // namespace quorin::platform
