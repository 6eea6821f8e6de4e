#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/network.h"
#include "platform/posix/posix_udp_socket.h"
#include "platform/posix/socket_address.h"
#include "platform/posix/unique_fd.h"
#include "platform/udp_socket.h"

namespace quorin::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

class PosixUdpSocket : public UdpSocket {
 public:
  explicit PosixUdpSocket(UniqueFd fd) : fd_(std::move(fd)) {}

  bool SendTo(const Ipv4Address& address, std::uint16_t port, std::string_view bytes) override {
    const sockaddr_in target = SocketAddress(address, port);
    while (true) {
      const ssize_t sent = ::sendto(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                    reinterpret_cast<const sockaddr*>(&target), sizeof target);
      if (sent >= 0)
        return static_cast<std::size_t>(sent) == bytes.size();
      if (errno != EINTR)
        return false;
    }
  }

  UdpReceive Receive(std::size_t maxBytes, std::chrono::milliseconds timeout) override {
    UdpReceive result;
    const auto deadline = SteadyClock::now() + timeout;
    std::vector<char> buffer(maxBytes > 0 ? maxBytes : 1);
    while (true) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
              .count();
      pollfd entry{fd_.get(), POLLIN, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(left < 0 ? 0 : left));
      if (ready == 0) {
        result.status = UdpReceiveStatus::kTimedOut;
        return result;
      }
      if (ready < 0) {
        if (errno == EINTR)
          continue;
        result.status = UdpReceiveStatus::kFailed;
        return result;
      }
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      const ssize_t got = ::recvfrom(fd_.get(), buffer.data(), maxBytes, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
          continue;
        result.status = UdpReceiveStatus::kFailed;
        return result;
      }
      result.status = UdpReceiveStatus::kDatagram;
      result.datagram.bytes.assign(buffer.data(), static_cast<std::size_t>(got));
      std::memcpy(result.datagram.sender.data(), &from.sin_addr, 4);
      result.datagram.senderPort = ntohs(from.sin_port);
      return result;
    }
  }

  std::uint16_t LocalPort() const override {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
      return 0;
    return ntohs(bound.sin_port);
  }

 private:
  UniqueFd fd_;
};

class PosixUdpNetwork : public UdpNetwork {
 public:
  std::optional<Ipv4Address> Resolve(std::string_view host, std::chrono::milliseconds timeout,
                                     StopToken stop) override {
    return ResolveIPv4(host, static_cast<int>(timeout.count()), std::move(stop));
  }

  std::unique_ptr<UdpSocket> Open() override {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
      return nullptr;
    return std::make_unique<PosixUdpSocket>(std::move(fd));
  }
};

}  // namespace

std::unique_ptr<UdpSocket> MakePosixUdpSocket(UniqueFd fd) {
  return std::make_unique<PosixUdpSocket>(std::move(fd));
}

UdpNetwork& SystemUdpNetwork() {
  static PosixUdpNetwork network;
  return network;
}

std::unique_ptr<UdpSocket> BindUdpSocket(const Ipv4Address& address, std::uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd)
    return nullptr;
  const sockaddr_in local = SocketAddress(address, port);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    return nullptr;
  }
  return std::make_unique<PosixUdpSocket>(std::move(fd));
}

}  // namespace quorin::platform
