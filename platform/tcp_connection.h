// TCP streams with a time-out on every step, for the client's hand-built HTTP exchanges.
//
// A backend provides the single steps (connect, one send, one receive); the loops that keep
// sending until every byte is gone and keep receiving until the peer closes live here, once,
// so that a server which takes bytes slowly, answers in pieces or says nothing at all is
// handled the same way on every system, and tests can feed those loops with fakes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/ipv4.h"
#include "platform/stop_token.h"

namespace quorin::platform {

// Waits that a stop request may end look at it at least this often.
inline constexpr std::chrono::milliseconds kStopCheckSlice{200};

// One connected TCP stream. Destroying it closes the socket.
class TcpConnection {
 public:
  virtual ~TcpConnection() = default;

  // Results of the single steps besides a byte count.
  static constexpr std::ptrdiff_t kFailed = -1;    // the connection failed
  static constexpr std::ptrdiff_t kTimedOut = -2;  // nothing moved within the time-out

  // Sends a part of `data`: the number of bytes the system took (at least 1), kFailed, or
  // kTimedOut when it took nothing within `timeout`.
  virtual std::ptrdiff_t SendSome(std::string_view data, std::chrono::milliseconds timeout) = 0;

  // Receives what arrives next, at most `size` bytes: the count, 0 when the peer has closed
  // its side, kFailed, or kTimedOut when nothing arrived within `timeout`.
  virtual std::ptrdiff_t ReceiveSome(char* buffer, std::size_t size,
                                     std::chrono::milliseconds timeout) = 0;
};

// Name lookup and connecting, the two things a client needs before it has a stream.
class TcpConnector {
 public:
  virtual ~TcpConnector() = default;

  // The first IPv4 address of a host name or the parsed dotted text; nothing when the name
  // does not resolve (the lookup is bounded, see ResolveIPv4) or `stop` ended the wait.
  virtual std::optional<Ipv4Address> Resolve(std::string_view host, StopToken stop = {}) = 0;

  // A stream to `address`:`port`, or nothing when the connection was refused, failed, was not
  // established within `timeout` or `stop` was requested first.
  virtual std::unique_ptr<TcpConnection> Connect(const Ipv4Address& address, std::uint16_t port,
                                                 std::chrono::milliseconds timeout,
                                                 StopToken stop = {}) = 0;
};

// The system's sockets.
TcpConnector& SystemTcpConnector();

// A listening socket on a local address, for test servers and local tools.
class TcpListener {
 public:
  virtual ~TcpListener() = default;
  virtual std::uint16_t Port() const = 0;
  // The next incoming connection, or nothing when none arrived within `timeout`.
  virtual std::unique_ptr<TcpConnection> Accept(std::chrono::milliseconds timeout) = 0;
};

// Listens on `address`:`port` (port 0 lets the system pick one); nothing when it cannot.
std::unique_ptr<TcpListener> ListenTcp(const Ipv4Address& address, std::uint16_t port);

// Sends every byte of `data`, continuing after short sends. False on an error, on a stop
// request, or when the whole text has not gone out within `timeout` (counted from the call).
bool SendAll(TcpConnection& connection, std::string_view data, std::chrono::milliseconds timeout,
             StopToken stop = {});

enum class ReceiveEnd {
  kClosed,    // the peer closed its side: `out` holds everything it sent
  kLimit,     // `limit` bytes arrived; the rest, if any, was not read
  kTimedOut,  // the time-out passed (or a stop was requested) before the peer closed
  kFailed,    // the connection failed (reset, error)
};

// Appends what the peer sends to `out` until it closes its side, `limit` bytes have arrived
// in this call, `timeout` (counted from the call) has passed or `stop` is requested.
ReceiveEnd ReceiveUntilClose(TcpConnection& connection, std::string& out, std::size_t limit,
                             std::chrono::milliseconds timeout, StopToken stop = {});

}  // namespace quorin::platform
