// A scripted home router for the router watcher's tests: a default route the test sets, a
// multicast listener whose datagrams the test announces (from any sender it names), and the
// router's answers to questions through a FakeUdpNetwork responder.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "client/monitor/router_datagram.h"
#include "platform/router_link.h"
#include "tests/client/monitor/fake_udp_network.h"
#include "tests/support/wait_until.h"

namespace quorin::client::testing {

// The router's 12-byte answer (and announcement) with `address` and `result`.
inline std::string NatPmpAnswer(const Ipv4Address& address, std::uint16_t result = 0) {
  std::string bytes{0,
                    static_cast<char>(128),
                    static_cast<char>(result >> 8),
                    static_cast<char>(result & 0xff),
                    0,
                    0,
                    0x12,
                    0x34};
  for (const std::uint8_t byte : address)
    bytes.push_back(static_cast<char>(byte));
  return bytes;
}

// PCP's unsolicited ANNOUNCE: the 24-byte response header with opcode 0.
inline std::string PcpAnnounce() {
  std::string bytes(24, '\0');
  bytes[0] = 2;
  bytes[1] = static_cast<char>(0x80);
  return bytes;
}

class FakeRouter {
 public:
  void SetRoute(std::optional<platform::DefaultRoute> route) {
    std::lock_guard lock(mutex_);
    route_ = route;
  }

  void Announce(std::string bytes, const Ipv4Address& sender) {
    {
      std::lock_guard lock(mutex_);
      platform::UdpDatagram datagram;
      datagram.bytes = std::move(bytes);
      datagram.sender = sender;
      datagram.senderPort = kRouterServerPort;
      announcements_.push_back(std::move(datagram));
    }
    arrived_.notify_all();
  }

  // How often the watcher has begun to listen; it begins again only once it has handled what
  // it heard and what it asked.
  int Listens() {
    std::lock_guard lock(mutex_);
    return listens_;
  }
  // Waits until the watcher has handled every announcement and every answer so far.
  bool AwaitHandled() {
    const int before = Listens();
    return quorin::testing::WaitUntil([&] {
      std::lock_guard lock(mutex_);
      return announcements_.empty() && listens_ > before && listens_ > lastDeliveryListen_;
    });
  }
  // What the router answers over UPnP: nothing (no IGD) unless set.
  void SetIgdAddress(std::optional<Ipv4Address> address) {
    std::lock_guard lock(mutex_);
    igdAddress_ = address;
  }
  int IgdQuestions() {
    std::lock_guard lock(mutex_);
    return igdQuestions_;
  }
  std::optional<unsigned> JoinedInterface() {
    std::lock_guard lock(mutex_);
    return joinedInterface_;
  }

  FakeUdpNetwork network;  // questions go here; its responder plays the router's server

  std::unique_ptr<platform::RouterLink> Link() { return std::make_unique<Link_>(*this); }

 private:
  class Listener : public platform::UdpSocket {
   public:
    explicit Listener(FakeRouter& router) : router_(router) {}
    bool SendTo(const Ipv4Address&, std::uint16_t, std::string_view) override { return false; }
    platform::UdpReceive Receive(std::size_t maxBytes, std::chrono::milliseconds timeout) override {
      std::unique_lock lock(router_.mutex_);
      ++router_.listens_;
      platform::UdpReceive result;
      if (!router_.arrived_.wait_for(lock, timeout,
                                     [&] { return !router_.announcements_.empty(); })) {
        result.status = platform::UdpReceiveStatus::kTimedOut;
        return result;
      }
      result.status = platform::UdpReceiveStatus::kDatagram;
      result.datagram = std::move(router_.announcements_.front());
      result.datagram.bytes.resize(std::min(result.datagram.bytes.size(), maxBytes));
      router_.announcements_.pop_front();
      router_.lastDeliveryListen_ = router_.listens_;
      return result;
    }
    std::uint16_t LocalPort() const override { return kRouterAnnouncementPort; }

   private:
    FakeRouter& router_;
  };

  class Link_ : public platform::RouterLink {
   public:
    explicit Link_(FakeRouter& router) : router_(router) {}
    std::optional<platform::DefaultRoute> FindDefaultRoute() override {
      std::lock_guard lock(router_.mutex_);
      return router_.route_;
    }
    std::unique_ptr<platform::UdpSocket> OpenMulticastListener(const Ipv4Address& group,
                                                               std::uint16_t port,
                                                               unsigned interfaceIndex) override {
      if (group != Ipv4Address{224, 0, 0, 1} || port != kRouterAnnouncementPort)
        return nullptr;
      std::lock_guard lock(router_.mutex_);
      router_.joinedInterface_ = interfaceIndex;
      return std::make_unique<Listener>(router_);
    }
    std::unique_ptr<platform::UdpSocket> OpenSocket() override { return router_.network.Open(); }
    std::optional<Ipv4Address> AskIgdExternalAddress(const platform::DefaultRoute&) override {
      std::lock_guard lock(router_.mutex_);
      ++router_.igdQuestions_;
      return router_.igdAddress_;
    }

   private:
    FakeRouter& router_;
  };

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::optional<platform::DefaultRoute> route_;
  std::deque<platform::UdpDatagram> announcements_;
  int listens_ = 0;
  int lastDeliveryListen_ = 0;  // the listen that took the last announcement
  std::optional<unsigned> joinedInterface_;
  std::optional<Ipv4Address> igdAddress_;
  int igdQuestions_ = 0;
};

}  // namespace quorin::client::testing
