#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/network.h"
#include "platform/posix/socket_address.h"
#include "platform/posix/unique_fd.h"
#include "platform/tcp_connection.h"

namespace quorin::platform {
namespace {

using Clock = std::chrono::steady_clock;

bool MakeNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

enum class Readiness { kReady, kTimedOut, kFailed };

// Waits until the socket is ready for `events`. A wait interrupted by a signal goes on with
// the time that is left.
Readiness WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left < 0 ? 0 : left));
    if (ready > 0)
      return Readiness::kReady;
    if (ready == 0)
      return Readiness::kTimedOut;
    if (errno != EINTR)
      return Readiness::kFailed;
  }
}

// WaitFor in slices, so that a stop request ends the wait (as a failure) within a slice.
Readiness WaitUnlessStopped(int fd, short events, std::chrono::milliseconds timeout,
                            const StopToken& stop) {
  const auto deadline = Clock::now() + timeout;
  while (!stop.StopRequested()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return Readiness::kTimedOut;
    const Readiness readiness = WaitFor(fd, events, std::min(left, kStopCheckSlice));
    if (readiness != Readiness::kTimedOut)
      return readiness;
  }
  return Readiness::kFailed;
}

std::ptrdiff_t WaitResult(Readiness readiness) {
  return readiness == Readiness::kTimedOut ? TcpConnection::kTimedOut : TcpConnection::kFailed;
}

class PosixTcpConnection : public TcpConnection {
 public:
  explicit PosixTcpConnection(UniqueFd fd) : fd_(std::move(fd)) {}

  std::ptrdiff_t SendSome(std::string_view data, std::chrono::milliseconds timeout) override {
    if (data.empty())
      return 0;
    while (true) {
      const ssize_t sent = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL);
      if (sent > 0)
        return sent;
      if (sent < 0 && errno == EINTR)
        continue;
      if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const Readiness readiness = WaitFor(fd_.get(), POLLOUT, timeout);
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
      const ssize_t got = ::recv(fd_.get(), buffer, size, 0);
      if (got >= 0)
        return got;
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        const Readiness readiness = WaitFor(fd_.get(), POLLIN, timeout);
        if (readiness != Readiness::kReady)
          return WaitResult(readiness);
        continue;
      }
      return kFailed;
    }
  }

 private:
  UniqueFd fd_;
};

class PosixTcpConnector : public TcpConnector {
 public:
  std::optional<Ipv4Address> Resolve(std::string_view host, StopToken stop) override {
    return ResolveIPv4(host, kDefaultLookupTimeoutMs, std::move(stop));
  }

  std::unique_ptr<TcpConnection> Connect(const Ipv4Address& address, std::uint16_t port,
                                         std::chrono::milliseconds timeout,
                                         StopToken stop) override {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || !MakeNonBlocking(fd.get()))
      return nullptr;
    const sockaddr_in target = SocketAddress(address, port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
      if (errno != EINPROGRESS && errno != EINTR)
        return nullptr;
      if (WaitUnlessStopped(fd.get(), POLLOUT, timeout, stop) != Readiness::kReady)
        return nullptr;
      // Writable also means "the attempt is over": a refused connection ends the same way.
      int error = 0;
      socklen_t length = sizeof error;
      if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return nullptr;
      }
    }
    return std::make_unique<PosixTcpConnection>(std::move(fd));
  }
};

class PosixTcpListener : public TcpListener {
 public:
  PosixTcpListener(UniqueFd fd, std::uint16_t port) : fd_(std::move(fd)), port_(port) {}

  std::uint16_t Port() const override { return port_; }

  std::unique_ptr<TcpConnection> Accept(std::chrono::milliseconds timeout) override {
    if (WaitFor(fd_.get(), POLLIN, timeout) != Readiness::kReady)
      return nullptr;
    UniqueFd client(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!client)
      return nullptr;
    return std::make_unique<PosixTcpConnection>(std::move(client));
  }

 private:
  UniqueFd fd_;
  std::uint16_t port_;
};

}  // namespace

TcpConnector& SystemTcpConnector() {
  static PosixTcpConnector connector;
  return connector;
}

std::unique_ptr<TcpListener> ListenTcp(const Ipv4Address& address, std::uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd)
    return nullptr;
  const int on = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in local = SocketAddress(address, port);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(fd.get(), 16) != 0 || !MakeNonBlocking(fd.get())) {
    return nullptr;
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
    return nullptr;
  return std::make_unique<PosixTcpListener>(std::move(fd), ntohs(bound.sin_port));
}

}  // namespace quorin::platform
