// What the integration tests learn from CTest: the addresses of the servers its fixtures
// started, and the files they share with them.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace quorin::testing {

inline std::optional<std::string> Setting(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    return std::nullopt;
  return std::string(value);
}

// Replaces the whole hosts file of the DNS server.
inline bool WriteHostsFile(const std::string& path, const std::string& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << lines;
  return static_cast<bool>(out.flush());
}

// Tells the DNS server to read its hosts files again (SIGHUP where the test can send one; the
// server also notices a rewritten file by itself).
void ReloadDnsServer(const std::string& pidFile);

}  // namespace quorin::testing
