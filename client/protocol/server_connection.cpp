#include "client/protocol/server_connection.h"

#include "client/protocol/provider_config.h"
#include "client/texts/client_texts.h"
#include "platform/clock.h"

namespace quorin::client {

ServerConnection::ServerConnection(const Settings& settings, platform::TcpConnector& connector,
                                   ConnectionTimeouts timeouts, platform::StopToken stop)
    : settings_(settings), connector_(connector), timeouts_(timeouts), stop_(std::move(stop)) {}

ServerConnection::~ServerConnection() = default;

bool ServerConnection::Open(std::optional<std::string_view> host, int /*port*/) {
  Close();
  if (host && TryHost(*host))
    return true;
  if (TryHost(DdnsHostName()))
    return true;
  if (!platform::CurrentClock().WaitFor(timeouts_.pause.count(), stop_))
    return false;
  return TryHost(UpdateHostSecondary(settings_));
}

bool ServerConnection::TryHost(std::string_view host) {
  host_ = host;
  port_ = static_cast<int>(provider::kServerPort);
  if (stop_.StopRequested())
    return false;
  const auto address = connector_.Resolve(host_.str(), stop_);
  return address && ConnectWithTimeout(*address);
}

bool ServerConnection::ConnectWithTimeout(const Ipv4Address& address) {
  for (int attempt = 1; attempt <= kConnectAttempts; ++attempt) {
    connection_ =
        connector_.Connect(address, static_cast<std::uint16_t>(port_), timeouts_.connect, stop_);
    if (connection_)
      return true;
    if (!platform::CurrentClock().WaitFor(timeouts_.pause.count(), stop_))
      return false;
  }
  return false;
}

bool ServerConnection::Exchange(std::string_view request, std::string& reply, bool wantReply) {
  reply.clear();
  if (!connection_)
    return false;
  if (!platform::SendAll(*connection_, request, timeouts_.send, stop_))
    return false;
  if (!wantReply)
    return true;
  // One byte more than a reply may hold tells a reply of exactly the limit, which the server
  // ended, from a longer one, which would be cut: a cut domain list must not replace the
  // whole one, so it counts as no reply at all.
  std::string received;
  const auto end = platform::ReceiveUntilClose(*connection_, received, kMaxReplyBytes + 1,
                                               timeouts_.receive, stop_);
  if (end != platform::ReceiveEnd::kClosed)
    return false;
  reply = received.substr(0, received.find('\0'));
  return true;
}

void ServerConnection::Close() {
  connection_.reset();
}

}  // namespace quorin::client
