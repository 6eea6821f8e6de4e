#include "client/protocol/server_connection.h"

#include "client/app/client_texts.h"
#include "client/protocol/provider_config.h"
#include "platform/clock.h"

namespace quorin::client {

ServerConnection::ServerConnection(const Settings& settings, platform::TcpConnector& connector,
                                   ConnectionTimeouts timeouts)
    : settings_(settings), connector_(connector), timeouts_(timeouts) {}

ServerConnection::~ServerConnection() = default;

bool ServerConnection::Open(std::optional<std::string_view> host, int /*port*/) {
  Close();
  if (host && TryHost(*host))
    return true;
  if (TryHost(DdnsHostName()))
    return true;
  platform::CurrentClock().SleepFor(timeouts_.pause.count());
  return TryHost(UpdateHostSecondary(settings_));
}

bool ServerConnection::TryHost(std::string_view host) {
  host_ = host;
  port_ = static_cast<int>(provider::kServerPort);
  const auto address = connector_.Resolve(host_.str());
  return address && ConnectWithTimeout(*address);
}

bool ServerConnection::ConnectWithTimeout(const Ipv4Address& address) {
  for (int attempt = 1; attempt <= kConnectAttempts; ++attempt) {
    connection_ = connector_.Connect(address, static_cast<std::uint16_t>(port_), timeouts_.connect);
    if (connection_)
      return true;
    platform::CurrentClock().SleepFor(timeouts_.pause.count());
  }
  return false;
}

bool ServerConnection::Exchange(std::string_view request, std::string& reply, bool wantReply) {
  reply.clear();
  if (!connection_)
    return false;
  if (!platform::SendAll(*connection_, request, timeouts_.send))
    return false;
  if (!wantReply)
    return true;
  // One byte more than a reply may hold tells a reply of exactly the limit, which the server
  // ended, from a longer one, which would be cut: a cut domain list must not replace the
  // whole one, so it counts as no reply at all.
  std::string received;
  const auto end =
      platform::ReceiveUntilClose(*connection_, received, kMaxReplyBytes + 1, timeouts_.receive);
  if (end != platform::ReceiveEnd::kClosed)
    return false;
  reply = received.substr(0, received.find('\0'));
  return true;
}

void ServerConnection::Close() {
  connection_.reset();
}

}  // namespace quorin::client
