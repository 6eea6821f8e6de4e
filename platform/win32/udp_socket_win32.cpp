#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/network.h"
#include "platform/udp_socket.h"
#include "platform/win32/socket_address.h"
#include "platform/win32/unique_socket.h"
#include "platform/win32/winsock_udp_socket.h"

namespace quorin::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

timeval TimeValue(long long ms) {
  if (ms < 0)
    ms = 0;
  timeval value{};
  value.tv_sec = static_cast<long>(ms / 1000);
  value.tv_usec = static_cast<long>((ms % 1000) * 1000);
  return value;
}

// A datagram socket that keeps the socket layer started for as long as it exists.
class WinsockUdpSocket : public UdpSocket {
 public:
  WinsockUdpSocket(std::unique_ptr<NetworkSession> session, UniqueSocket socket)
      : session_(std::move(session)), socket_(std::move(socket)) {}

  bool SendTo(const Ipv4Address& address, std::uint16_t port, std::string_view bytes) override {
    const sockaddr_in target = SocketAddress(address, port);
    const int sent = ::sendto(socket_.get(), bytes.data(), static_cast<int>(bytes.size()), 0,
                              reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent != SOCKET_ERROR && static_cast<std::size_t>(sent) == bytes.size();
  }

  UdpReceive Receive(std::size_t maxBytes, std::chrono::milliseconds timeout) override {
    UdpReceive result;
    const auto deadline = SteadyClock::now() + timeout;
    std::vector<char> buffer(maxBytes > 0 ? maxBytes : 1);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_.get(), &readable);
    timeval limit = TimeValue(left.count());
    const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
    if (ready == 0) {
      result.status = UdpReceiveStatus::kTimedOut;
      return result;
    }
    if (ready < 0) {
      result.status = UdpReceiveStatus::kFailed;
      return result;
    }
    sockaddr_in from{};
    int fromLength = sizeof from;
    int got = ::recvfrom(socket_.get(), buffer.data(), static_cast<int>(maxBytes), 0,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got == SOCKET_ERROR) {
      // A datagram longer than the buffer arrives cut to the buffer, with this error.
      if (::WSAGetLastError() != WSAEMSGSIZE) {
        result.status = UdpReceiveStatus::kFailed;
        return result;
      }
      got = static_cast<int>(maxBytes);
    }
    result.status = UdpReceiveStatus::kDatagram;
    result.datagram.bytes.assign(buffer.data(), static_cast<std::size_t>(got));
    std::memcpy(result.datagram.sender.data(), &from.sin_addr, 4);
    result.datagram.senderPort = ntohs(from.sin_port);
    return result;
  }

  bool Bind(const Ipv4Address& address, std::uint16_t port) {
    const sockaddr_in local = SocketAddress(address, port);
    return ::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
  }

  std::uint16_t LocalPort() const override {
    sockaddr_in bound{};
    int length = sizeof bound;
    if (::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
      return 0;
    return ntohs(bound.sin_port);
  }

 private:
  // Declared first, so that the socket is closed before the socket layer may stop.
  std::unique_ptr<NetworkSession> session_;
  UniqueSocket socket_;
};

std::unique_ptr<WinsockUdpSocket> OpenSocket() {
  auto session = std::make_unique<NetworkSession>();
  if (!session->ok())
    return nullptr;
  UniqueSocket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!socket)
    return nullptr;
  return std::make_unique<WinsockUdpSocket>(std::move(session), std::move(socket));
}

class WinsockUdpNetwork : public UdpNetwork {
 public:
  std::optional<Ipv4Address> Resolve(std::string_view host, std::chrono::milliseconds timeout,
                                     StopToken stop) override {
    return ResolveIPv4(host, static_cast<int>(timeout.count()), std::move(stop));
  }

  std::unique_ptr<UdpSocket> Open() override { return OpenSocket(); }
};

}  // namespace

std::unique_ptr<UdpSocket> MakeWinsockUdpSocket(std::unique_ptr<NetworkSession> session,
                                                UniqueSocket socket) {
  return std::make_unique<WinsockUdpSocket>(std::move(session), std::move(socket));
}

UdpNetwork& SystemUdpNetwork() {
  static WinsockUdpNetwork network;
  return network;
}

std::unique_ptr<UdpSocket> BindUdpSocket(const Ipv4Address& address, std::uint16_t port) {
  auto socket = OpenSocket();
  if (!socket || !socket->Bind(address, port))
    return nullptr;
  return socket;
}

}  // namespace quorin::platform
