// A one-connection TCP server on loopback for tests: it records what the client sends up to
// the end of the request headers, then writes a scripted answer in steps with pauses, then
// closes. Servers that must misbehave (answer late, stop half-way) are scripts too.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorin::testing {

struct ScriptStep {
  std::string bytes;
  std::chrono::milliseconds pauseBefore{0};  // a pause still running ends with the server
};

class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<ScriptStep> answer);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t port() const;
  std::string Url(const std::string& path = "/x") const;
  // The bytes received, complete once the client has its answer.
  std::string request() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorin::testing
