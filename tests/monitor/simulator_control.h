// The provider simulator's control channel: one HTTP/1.0 request per connection, JSON bodies.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/tcp_connection.h"

namespace quorin::testing {

class SimulatorControl {
 public:
  SimulatorControl(std::string host, std::uint16_t port) : host_(std::move(host)), port_(port) {}

  // The answer's body; empty when the exchange failed.
  std::string Get(const std::string& path) { return Exchange("GET", path, ""); }
  std::string Post(const std::string& path, const std::string& json) {
    return Exchange("POST", path, json);
  }

 private:
  std::string Exchange(const std::string& method, const std::string& path,
                       const std::string& body) {
    using namespace std::chrono_literals;
    auto& connector = platform::SystemTcpConnector();
    const auto address = connector.Resolve(host_);
    if (!address)
      return std::string();
    auto connection = connector.Connect(*address, port_, 3000ms);
    if (!connection)
      return std::string();
    const std::string request =
        method + " " + path + " HTTP/1.0\r\nHost: " + host_ +
        "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
    if (!platform::SendAll(*connection, request, 3000ms))
      return std::string();
    std::string answer;
    platform::ReceiveUntilClose(*connection, answer, 1 << 20, 5000ms);
    const std::size_t headerEnd = answer.find("\r\n\r\n");
    return headerEnd == std::string::npos ? std::string() : answer.substr(headerEnd + 4);
  }

  std::string host_;
  std::uint16_t port_;
};

}  // namespace quorin::testing
