// A loopback HTTP server for the download's bounds. It answers one request with a head and then
// a body in pieces, pausing before every piece after the first, until the pieces run out, the
// client goes away or the server is destroyed: one byte per pause makes a trickling server, a
// piece count of 0 an endless one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/tcp_connection.h"

namespace quorin::updater::testing {

struct StreamScript {
  std::string head;  // the status line and the headers, with the empty line after them
  std::string piece;
  std::size_t pieces = 0;  // 0: without end
  std::chrono::milliseconds pause{0};
};

class StreamServer {
 public:
  explicit StreamServer(StreamScript script)
      : script_(std::move(script)), listener_(platform::ListenTcp(kLoopback, 0)) {
    if (listener_)
      thread_ = std::thread([this] { Serve(); });
  }
  ~StreamServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
      thread_.join();
  }
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  bool ok() const { return listener_ != nullptr; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(listener_->Port()) + path;
  }
  // Body bytes handed to the system so far.
  std::uint64_t SentBodyBytes() const { return sent_.load(); }

 private:
  static constexpr Ipv4Address kLoopback{127, 0, 0, 1};
  // Bounds of the server's own waits, so that a test that goes wrong still ends.
  static constexpr std::chrono::milliseconds kStep{100};
  static constexpr std::chrono::milliseconds kSendTimeout{10000};
  static constexpr std::size_t kMaxRequest = 64 * 1024;

  bool Stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
  }
  // Waits the pause; false when the server is being destroyed.
  bool Pause() {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, script_.pause, [this] { return stopping_; });
  }
  // A client that stopped reading but stays connected ends the serving after kSendTimeout.
  bool Send(platform::TcpConnection& client, const std::string& bytes) {
    return platform::SendAll(client, bytes, kSendTimeout);
  }

  void Serve() {
    std::unique_ptr<platform::TcpConnection> client;
    while (!client && !Stopping())
      client = listener_->Accept(kStep);
    if (!client)
      return;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
      const std::ptrdiff_t got = client->ReceiveSome(buffer, sizeof buffer, kStep);
      if (got == platform::TcpConnection::kTimedOut && !Stopping())
        continue;
      if (got <= 0)
        return;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    if (!Send(*client, script_.head + script_.piece))
      return;
    sent_ += script_.piece.size();
    for (std::size_t sent = 1; script_.pieces == 0 || sent < script_.pieces; ++sent) {
      if (!Pause() || !Send(*client, script_.piece))
        return;
      sent_ += script_.piece.size();
    }
  }

  const StreamScript script_;
  const std::unique_ptr<platform::TcpListener> listener_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::atomic<std::uint64_t> sent_{0};
  std::thread thread_;
};

}  // namespace quorin::updater::testing
