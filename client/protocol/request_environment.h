// What the login and the account requests work with: the client record they fill, the
// settings they read and write, the texts and reply codes they report with, and the network.
// The application uses ProcessRequestEnvironment(); tests build their own with an in-memory
// settings store, a record of their own, fake connectors and shorter time-outs.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "client/local/settings.h"
#include "client/protocol/server_connection.h"
#include "client/record/client_context.h"
#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"
#include "platform/http_client.h"
#include "platform/stop_token.h"
#include "platform/tcp_connection.h"

namespace quorin::client {

struct RequestEnvironment {
  RequestEnvironment(ClientContext& contextIn, Settings& settingsIn, const ClientTexts& textsIn,
                     const ReplyCodeTable& replyCodesIn,
                     platform::TcpConnector& connectorIn = platform::SystemTcpConnector(),
                     platform::HttpClient& httpIn = platform::SystemHttpClient())
      : context(contextIn),
        settings(settingsIn),
        texts(textsIn),
        replyCodes(replyCodesIn),
        connector(connectorIn),
        http(httpIn) {}

  ClientContext& context;
  Settings& settings;
  const ClientTexts& texts;
  const ReplyCodeTable& replyCodes;
  platform::TcpConnector& connector;
  platform::HttpClient& http;
  ConnectionTimeouts connectionTimeouts{};
  // How long each login server may take to answer the login.
  std::uint32_t loginTimeoutMs = 5000;
  // Shows a message to the user (the application's message dialog); may be empty.
  std::function<void(std::string_view message)> showMessage;
  // Ends every wait of the requests made with this environment: a request that is stopped
  // fails as if no server had answered.
  platform::StopToken stop;

  // A connection with this environment's settings, sockets and time-outs.
  ServerConnection MakeConnection() const;
};

// The process's record, settings, texts and system network; messages are not shown until
// the application installs its message dialog with SetProcessMessageSink.
RequestEnvironment& ProcessRequestEnvironment();
void SetProcessMessageSink(std::function<void(std::string_view message)> showMessage);

// Stops every request of the process environment, for good: the program is ending, and the
// threads that wait on a server must end within moments instead of at their time-outs.
void StopProcessRequests();

}  // namespace quorin::client
