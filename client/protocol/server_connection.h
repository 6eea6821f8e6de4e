// The raw TCP exchange with the login server: one connection per request, one hand-built
// request written whole, one reply read until the server closes.
//
// Open tries up to three hosts, always on the login server's port: the host it is given, the
// primary update host as start-up chose it (DdnsHostName), and after a short pause the
// secondary update host as the settings choose it now. Each host gets two connect attempts.
//
// Time-outs: 6 s per connect attempt with a 50 ms pause after a failed one; 10 s to send the
// request and 10 s to receive the reply (counted from the start of each). A server that takes
// the connection and then says nothing therefore costs at most 10 s, never a frozen window or
// a stuck monitor. Replies are read up to 64 KiB: enough for ten zones of twenty hosts each.
// A longer reply is a failed exchange, never a cut one taken for whole.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "client/local/settings.h"
#include "common/bounded_text.h"
#include "common/provider_defaults.h"
#include "platform/stop_token.h"
#include "platform/tcp_connection.h"

namespace quorin::client {

inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;

struct ConnectionTimeouts {
  std::chrono::milliseconds connect{6000};   // one connect attempt
  std::chrono::milliseconds pause{50};       // after a failed attempt, and before the last host
  std::chrono::milliseconds send{10000};     // the whole request
  std::chrono::milliseconds receive{10000};  // the whole reply
};

class ServerConnection {
 public:
  static constexpr int kConnectAttempts = 2;

  // A stop request ends every wait of the connection: the lookups, the connect attempts, the
  // pauses and the exchange fail at once.
  explicit ServerConnection(const Settings& settings,
                            platform::TcpConnector& connector = platform::SystemTcpConnector(),
                            ConnectionTimeouts timeouts = {}, platform::StopToken stop = {});
  virtual ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  // True once a connection to one of the hosts is open. The port argument is kept for the
  // callers' sake; every attempt goes to the login server's port.
  bool Open(std::optional<std::string_view> host = std::nullopt,
            int port = static_cast<int>(provider::kServerPort));

  // Sends the whole request and, when a reply is wanted, reads the reply until the server
  // closes. The reply is the text up to its first zero byte. False when no connection is
  // open, the request did not go out whole, the reply did not end within the time-out, or it
  // ran past 64 KiB; the reply is then empty.
  bool Exchange(std::string_view request, std::string& reply, bool wantReply);

  void Close();

  bool IsOpen() const { return connection_ != nullptr; }
  // The host and port of the latest connect attempt (empty and -1 before Open).
  std::string Host() const { return host_.str(); }
  int Port() const { return port_; }

 private:
  bool TryHost(std::string_view host);
  bool ConnectWithTimeout(const Ipv4Address& address);

  const Settings& settings_;
  platform::TcpConnector& connector_;
  ConnectionTimeouts timeouts_;
  platform::StopToken stop_;
  BoundedText<100> host_;
  int port_ = -1;
  std::unique_ptr<platform::TcpConnection> connection_;
};

}  // namespace quorin::client
