// A scripted UDP network for the monitor's tests: host names resolve from a table, every
// datagram sent is recorded, and a responder decides which datagrams come back, from which
// sender and after how long (real time, so time-outs behave as with real sockets).
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/udp_socket.h"

namespace quorin::client::testing {

struct SentDatagram {
  Ipv4Address to{};
  std::uint16_t port = 0;
  std::string bytes;
};

struct ScriptedDatagram {
  std::string bytes;
  Ipv4Address sender{};
  std::uint16_t senderPort = 0;
  std::chrono::milliseconds delay{0};
};

class FakeUdpNetwork : public platform::UdpNetwork {
 public:
  using Responder = std::function<std::vector<ScriptedDatagram>(const SentDatagram& sent)>;

  void AddHost(const std::string& name, const Ipv4Address& address) { hosts_[name] = address; }
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // Makes every receive fail at once (Windows reports an ICMP "port unreachable" so).
  void FailReceives() { failReceives_ = true; }

  std::vector<SentDatagram> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  int Resolves() const {
    std::lock_guard lock(mutex_);
    return resolves_;
  }

  std::optional<Ipv4Address> Resolve(std::string_view host, std::chrono::milliseconds,
                                     platform::StopToken) override {
    std::lock_guard lock(mutex_);
    ++resolves_;
    if (auto dotted = ParseInetAddr(host))
      return dotted;
    const auto found = hosts_.find(std::string(host));
    if (found == hosts_.end())
      return std::nullopt;
    return found->second;
  }

  std::unique_ptr<platform::UdpSocket> Open() override { return std::make_unique<Socket>(*this); }

 private:
  using SteadyClock = std::chrono::steady_clock;

  struct Pending {
    SteadyClock::time_point due;
    ScriptedDatagram datagram;
  };

  class Socket : public platform::UdpSocket {
   public:
    explicit Socket(FakeUdpNetwork& network) : network_(network) {}

    bool SendTo(const Ipv4Address& address, std::uint16_t port, std::string_view bytes) override {
      SentDatagram sent{address, port, std::string(bytes)};
      std::vector<ScriptedDatagram> replies;
      {
        std::lock_guard lock(network_.mutex_);
        network_.sent_.push_back(sent);
      }
      if (network_.responder_)
        replies = network_.responder_(sent);
      const auto now = SteadyClock::now();
      for (auto& reply : replies)
        pending_.push_back(Pending{now + reply.delay, std::move(reply)});
      std::stable_sort(pending_.begin(), pending_.end(),
                       [](const Pending& a, const Pending& b) { return a.due < b.due; });
      return true;
    }

    platform::UdpReceive Receive(std::size_t maxBytes, std::chrono::milliseconds timeout) override {
      platform::UdpReceive result;
      if (network_.failReceives_) {
        result.status = platform::UdpReceiveStatus::kFailed;
        return result;
      }
      const auto deadline = SteadyClock::now() + timeout;
      if (pending_.empty() || pending_.front().due > deadline) {
        std::this_thread::sleep_until(deadline);
        result.status = platform::UdpReceiveStatus::kTimedOut;
        return result;
      }
      std::this_thread::sleep_until(pending_.front().due);
      result.status = platform::UdpReceiveStatus::kDatagram;
      result.datagram.bytes = pending_.front().datagram.bytes.substr(0, maxBytes);
      result.datagram.sender = pending_.front().datagram.sender;
      result.datagram.senderPort = pending_.front().datagram.senderPort;
      pending_.erase(pending_.begin());
      return result;
    }

    std::uint16_t LocalPort() const override { return 40000; }

   private:
    FakeUdpNetwork& network_;
    std::vector<Pending> pending_;
  };

  mutable std::mutex mutex_;
  std::map<std::string, Ipv4Address> hosts_;
  std::vector<SentDatagram> sent_;
  int resolves_ = 0;
  Responder responder_;
  std::atomic<bool> failReceives_{false};
};

}  // namespace quorin::client::testing
