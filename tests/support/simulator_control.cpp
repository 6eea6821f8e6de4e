#include "tests/support/simulator_control.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "common/ipv4.h"
#include "platform/tcp_connection.h"

namespace quorin::testing {

using namespace std::chrono_literals;

SimulatorControl::SimulatorControl(std::string host, std::uint16_t controlPort)
    : host_(std::move(host)), port_(controlPort) {}

std::string SimulatorControl::Call(std::string_view method, std::string_view target,
                                   std::string_view body) {
  const auto address = ParseInetAddr(host_);
  if (!address)
    throw std::runtime_error("bad simulator address " + host_);
  auto connection = platform::SystemTcpConnector().Connect(*address, port_, 3000ms);
  if (!connection)
    throw std::runtime_error("simulator control port not reachable on " + host_);
  std::string request = std::string(method) + " " + std::string(target) + " HTTP/1.0\r\n";
  request += "Host: " + host_ + "\r\nContent-Type: application/json\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  request += body;
  if (!platform::SendAll(*connection, request, 5000ms)) {
    throw std::runtime_error("control request not sent");
  }
  std::string answer;
  const auto end = platform::ReceiveUntilClose(*connection, answer, 16 << 20, 40000ms);
  if (end != platform::ReceiveEnd::kClosed)
    throw std::runtime_error("control answer incomplete");
  const std::size_t headerEnd = answer.find("\r\n\r\n");
  if (answer.rfind("HTTP/1.1 200", 0) != 0 || headerEnd == std::string::npos) {
    throw std::runtime_error("control call " + std::string(target) +
                             " failed: " + answer.substr(0, 300));
  }
  return answer.substr(headerEnd + 4);
}

void SimulatorControl::SetAddress(std::string_view address) {
  Call("POST", "/control/address", address);
}

std::int64_t SimulatorControl::LastSeq() {
  const auto records = RecordsSince(0, 0, 0);
  return records.empty() ? 0 : records.back().seq;
}

std::vector<SimulatorRecord> SimulatorControl::RecordsSince(std::int64_t since, int min,
                                                            int waitMs) {
  const std::string body =
      Call("GET", "/control/records?since=" + std::to_string(since) +
                      "&min=" + std::to_string(min) + "&wait_ms=" + std::to_string(waitMs));
  const auto json = ParseJson(body);
  if (!json)
    throw std::runtime_error("control records are no JSON");
  std::vector<SimulatorRecord> records;
  for (const JsonValue& item : (*json)["records"].items) {
    SimulatorRecord record;
    record.seq = static_cast<std::int64_t>(item["seq"].number);
    record.form = item["form"].text;
    record.path = item["path"].text;
    record.bytes = DecodeBase64(item["b64"].text);
    records.push_back(std::move(record));
  }
  return records;
}

SimulatorControl SimulatorFromEnvironment(const char* hostVariable, const char* portVariable) {
  const char* host = std::getenv(hostVariable);
  const char* port = std::getenv(portVariable);
  if (host == nullptr || port == nullptr) {
    throw std::runtime_error(std::string("set ") + hostVariable + " and " + portVariable);
  }
  return SimulatorControl(host, static_cast<std::uint16_t>(std::atoi(port)));
}

}  // namespace quorin::testing
