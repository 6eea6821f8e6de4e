#include "client/protocol/request_environment.h"

namespace quorin::client {

namespace {

platform::StopSource& ProcessRequestStop() {
  static platform::StopSource source;
  return source;
}

RequestEnvironment MakeProcessEnvironment() {
  RequestEnvironment environment(GetClientContext(), ProcessSettings(), ProcessClientTexts(),
                                 ProcessReplyCodes());
  environment.stop = ProcessRequestStop().Token();
  return environment;
}

}  // namespace

ServerConnection RequestEnvironment::MakeConnection() const {
  return ServerConnection(settings, connector, connectionTimeouts, stop);
}

RequestEnvironment& ProcessRequestEnvironment() {
  static RequestEnvironment environment = MakeProcessEnvironment();
  return environment;
}

void StopProcessRequests() {
  ProcessRequestStop().RequestStop();
}

void SetProcessMessageSink(std::function<void(std::string_view message)> showMessage) {
  ProcessRequestEnvironment().showMessage = std::move(showMessage);
}

}  // namespace quorin::client
