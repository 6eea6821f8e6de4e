#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>
#include <thread>

#include "platform/posix/unique_fd.h"
#include "platform/stop_token.h"
#include "tests/support/scripted_server.h"

namespace quorin::testing {

struct ScriptedServer::Impl {
  platform::UniqueFd listener;
  std::uint16_t port = 0;
  std::vector<ScriptStep> answer;
  mutable std::mutex mutex;
  std::string request;
  std::thread thread;
  platform::StopSource stop;  // ends a pause when the test is over

  void Serve() {
    platform::UniqueFd client(::accept(listener.get(), nullptr, nullptr));
    if (!client)
      return;
    timeval timeout{2, 0};
    ::setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char buffer[4096];
    while (true) {
      {
        std::lock_guard lock(mutex);
        if (request.find("\r\n\r\n") != std::string::npos)
          break;
      }
      const ssize_t n = ::recv(client.get(), buffer, sizeof buffer, 0);
      if (n <= 0)
        return;
      std::lock_guard lock(mutex);
      request.append(buffer, static_cast<std::size_t>(n));
    }
    for (const ScriptStep& step : answer) {
      if (stop.Token().WaitFor(step.pauseBefore))
        return;
      if (::send(client.get(), step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) < 0)
        return;
    }
  }
};

ScriptedServer::ScriptedServer(std::vector<ScriptStep> answer) : impl_(std::make_unique<Impl>()) {
  impl_->answer = std::move(answer);
  impl_->listener.reset(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(impl_->listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(impl_->listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
  impl_->port = ntohs(address.sin_port);
  ::listen(impl_->listener.get(), 4);
  impl_->thread = std::thread([impl = impl_.get()] { impl->Serve(); });
}

ScriptedServer::~ScriptedServer() {
  impl_->stop.RequestStop();
  ::shutdown(impl_->listener.get(), SHUT_RDWR);  // ends an accept still waiting
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
