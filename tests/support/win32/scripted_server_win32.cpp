#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <thread>

#include "platform/network.h"
#include "platform/stop_token.h"
#include "tests/support/scripted_server.h"

namespace quorin::testing {

struct ScriptedServer::Impl {
  platform::NetworkSession network;
  SOCKET listener = INVALID_SOCKET;
  std::uint16_t port = 0;
  std::vector<ScriptStep> answer;
  mutable std::mutex mutex;
  std::string request;
  std::thread thread;
  platform::StopSource stop;  // ends a pause when the test is over

  void Serve() {
    const SOCKET client = ::accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET)
      return;
    DWORD timeoutMs = 2000;
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                 sizeof timeoutMs);
    char buffer[4096];
    bool complete = false;
    while (!complete) {
      const int n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0)
        break;
      std::lock_guard lock(mutex);
      request.append(buffer, static_cast<std::size_t>(n));
      complete = request.find("\r\n\r\n") != std::string::npos;
    }
    if (complete) {
      for (const ScriptStep& step : answer) {
        if (stop.Token().WaitFor(step.pauseBefore))
          break;
        if (::send(client, step.bytes.data(), static_cast<int>(step.bytes.size()), 0) < 0)
          break;
      }
    }
    ::shutdown(client, SD_BOTH);
    ::closesocket(client);
  }
};

ScriptedServer::ScriptedServer(std::vector<ScriptStep> answer) : impl_(std::make_unique<Impl>()) {
  impl_->answer = std::move(answer);
  impl_->listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(impl_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int length = sizeof address;
  ::getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&address), &length);
  impl_->port = ntohs(address.sin_port);
  ::listen(impl_->listener, 4);
  impl_->thread = std::thread([impl = impl_.get()] { impl->Serve(); });
}

ScriptedServer::~ScriptedServer() {
  impl_->stop.RequestStop();
  ::closesocket(impl_->listener);  // ends an accept still waiting
  impl_->thread.join();
}

std::uint16_t ScriptedServer::port() const {
  return impl_->port;
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

std::string ScriptedServer::request() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->request;
}

}  // namespace quorin::testing
