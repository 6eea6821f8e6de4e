// The test program's side of the provider simulator's control channel (HTTP with JSON bodies
// on a port of its own), spoken over the project's own socket layer so that it works the same
// natively and under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/mini_json.h"

namespace quorin::testing {

struct SimulatorRecord {
  std::int64_t seq = 0;
  std::string form;   // "get-raw", "http/1.0", "http/1.1", "none", ...
  std::string path;   // empty when the request could not be parsed
  std::string bytes;  // exactly what the client sent
};

class SimulatorControl {
 public:
  SimulatorControl(std::string host, std::uint16_t controlPort);

  const std::string& host() const { return host_; }

  // The answer's body; throws std::runtime_error when the simulator does not answer 200.
  std::string Call(std::string_view method, std::string_view target, std::string_view body = "");

  void SetFault(std::string_view json) { Call("POST", "/control/fault", json); }
  void ClearFaults() { Call("POST", "/control/fault/clear"); }
  std::string Accounts() { return Call("GET", "/control/accounts"); }
  void SetAccounts(std::string_view json) { Call("POST", "/control/accounts", json); }
  void SetAddress(std::string_view address);

  // The newest record's number (0 when there is none).
  std::int64_t LastSeq();
  // The records after `since`, waiting up to `waitMs` for at least `min` of them.
  std::vector<SimulatorRecord> RecordsSince(std::int64_t since, int min = 1, int waitMs = 3000);

 private:
  std::string host_;
  std::uint16_t port_;
};

// Reads a simulator address and control port from the environment ("HOST" and "PORT"
// variables); skips nothing, throws when they are missing.
SimulatorControl SimulatorFromEnvironment(const char* hostVariable, const char* portVariable);

}  // namespace quorin::testing
