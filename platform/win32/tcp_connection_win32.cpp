#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/network.h"
#include "platform/tcp_connection.h"
#include "platform/win32/socket_address.h"
#include "platform/win32/unique_socket.h"

namespace quorin::platform {
namespace {

bool SetNonBlocking(SOCKET socket, bool on) {
  u_long argument = on ? 1 : 0;
  return ::ioctlsocket(socket, FIONBIO, &argument) == 0;
}

timeval TimeValue(std::chrono::milliseconds timeout) {
  const long long ms = timeout.count() < 0 ? 0 : timeout.count();
  timeval value{};
  value.tv_sec = static_cast<long>(ms / 1000);
  value.tv_usec = static_cast<long>((ms % 1000) * 1000);
  return value;
}

enum class Readiness { kReady, kFailed, kTimedOut };

// Waits until the socket can be read or written. A connect that fails is reported in the
// exception set, not the write set, so that set is watched too.
Readiness WaitFor(SOCKET socket, bool forWrite, std::chrono::milliseconds timeout) {
  fd_set wanted;
  fd_set failed;
  FD_ZERO(&wanted);
  FD_ZERO(&failed);
  FD_SET(socket, &wanted);
  FD_SET(socket, &failed);
  timeval limit = TimeValue(timeout);
  const int ready =
      ::select(0, forWrite ? nullptr : &wanted, forWrite ? &wanted : nullptr, &failed, &limit);
  if (ready == 0)
    return Readiness::kTimedOut;
  if (ready < 0 || FD_ISSET(socket, &failed))
    return Readiness::kFailed;
  return FD_ISSET(socket, &wanted) ? Readiness::kReady : Readiness::kFailed;
}

// Waits for a connect to finish in slices, so that a stop request ends the wait (as a
// failure) within a slice.
Readiness WaitUnlessStopped(SOCKET socket, std::chrono::milliseconds timeout,
                            const StopToken& stop) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  while (!stop.StopRequested()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return Readiness::kTimedOut;
    const Readiness readiness = WaitFor(socket, true, std::min(left, kStopCheckSlice));
    if (readiness != Readiness::kTimedOut)
      return readiness;
  }
  return Readiness::kFailed;
}

std::ptrdiff_t WaitResult(Readiness readiness) {
  return readiness == Readiness::kTimedOut ? TcpConnection::kTimedOut : TcpConnection::kFailed;
}

int ClampToInt(std::size_t size) {
  constexpr std::size_t kMaxChunk = 1 << 30;
  return static_cast<int>(size < kMaxChunk ? size : kMaxChunk);
}

class WinsockTcpConnection : public TcpConnection {
 public:
  explicit WinsockTcpConnection(UniqueSocket socket) : socket_(std::move(socket)) {}

  std::ptrdiff_t SendSome(std::string_view data, std::chrono::milliseconds timeout) override {
    if (data.empty())
      return 0;
    while (true) {
      const int sent = ::send(socket_.get(), data.data(), ClampToInt(data.size()), 0);
      if (sent > 0)
        return sent;
      if (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        const Readiness readiness = WaitFor(socket_.get(), true, timeout);
        if (readiness != Readiness::kReady)
          return WaitResult(readiness);
        continue;
      }
      return kFailed;
    }
  }

  std::ptrdiff_t ReceiveSome(char* buffer, std::size_t size,
                             std::chrono::milliseconds timeout) override {
    if (size == 0)
      return kFailed;
    while (true) {
      const int got = ::recv(socket_.get(), buffer, ClampToInt(size), 0);
      if (got >= 0)
        return got;
      if (::WSAGetLastError() != WSAEWOULDBLOCK)
        return kFailed;
      const Readiness readiness = WaitFor(socket_.get(), false, timeout);
      if (readiness != Readiness::kReady)
        return WaitResult(readiness);
    }
  }

 private:
  NetworkSession session_;
  UniqueSocket socket_;
};

class WinsockTcpConnector : public TcpConnector {
 public:
  std::optional<Ipv4Address> Resolve(std::string_view host, StopToken stop) override {
    return ResolveIPv4(host, kDefaultLookupTimeoutMs, std::move(stop));
  }

  std::unique_ptr<TcpConnection> Connect(const Ipv4Address& address, std::uint16_t port,
                                         std::chrono::milliseconds timeout,
                                         StopToken stop) override {
    NetworkSession session;
    if (!session.ok())
      return nullptr;
    UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket || !SetNonBlocking(socket.get(), true))
      return nullptr;
    const sockaddr_in target = SocketAddress(address, port);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
      if (::WSAGetLastError() != WSAEWOULDBLOCK)
        return nullptr;
      if (WaitUnlessStopped(socket.get(), timeout, stop) != Readiness::kReady)
        return nullptr;
    }
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &length) != 0 ||
        error != 0) {
      return nullptr;
    }
    return std::make_unique<WinsockTcpConnection>(std::move(socket));
  }
};

class WinsockTcpListener : public TcpListener {
 public:
  WinsockTcpListener(UniqueSocket socket, std::uint16_t port)
      : socket_(std::move(socket)), port_(port) {}

  std::uint16_t Port() const override { return port_; }

  std::unique_ptr<TcpConnection> Accept(std::chrono::milliseconds timeout) override {
    if (WaitFor(socket_.get(), false, timeout) != Readiness::kReady)
      return nullptr;
    UniqueSocket client(::accept(socket_.get(), nullptr, nullptr));
    if (!client || !SetNonBlocking(client.get(), true))
      return nullptr;
    return std::make_unique<WinsockTcpConnection>(std::move(client));
  }

 private:
  NetworkSession session_;
  UniqueSocket socket_;
  std::uint16_t port_;
};

}  // namespace

TcpConnector& SystemTcpConnector() {
  static WinsockTcpConnector connector;
  return connector;
}

std::unique_ptr<TcpListener> ListenTcp(const Ipv4Address& address, std::uint16_t port) {
  NetworkSession session;
  if (!session.ok())
    return nullptr;
  UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket)
    return nullptr;
  const sockaddr_in local = SocketAddress(address, port);
  if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(socket.get(), 16) != 0 || !SetNonBlocking(socket.get(), true)) {
    return nullptr;
  }
  sockaddr_in bound{};
  int length = sizeof bound;
  if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    return nullptr;
  }
  return std::make_unique<WinsockTcpListener>(std::move(socket), ntohs(bound.sin_port));
}

}  // namespace quorin::platform
