#include "client/protocol/request_environment.h"

namespace quorin::client {

ServerConnection RequestEnvironment::MakeConnection() const {
  return ServerConnection(settings, connector, connectionTimeouts);
}

RequestEnvironment& ProcessRequestEnvironment() {
  static RequestEnvironment environment(GetClientContext(), ProcessSettings(), ProcessClientTexts(),
                                        ProcessReplyCodes());
  return environment;
}

void SetProcessMessageSink(std::function<void(std::string_view message)> showMessage) {
  ProcessRequestEnvironment().showMessage = std::move(showMessage);
}

}  // namespace quorin::client
