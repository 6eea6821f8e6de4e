// The cheap test that the public address has not changed: an ICMP echo with TTL 1 to the last
// public address is answered only while the first router on the way (or the machine itself)
// still holds that address.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "common/ipv4.h"
#include "platform/icmp_echo.h"

namespace quorin::client {

class AddressProbe {
 public:
  virtual ~AddressProbe() = default;
  // True when an echo to `address` with time-to-live `ttl` was answered with success.
  virtual bool Probe(std::string_view address, int ttl) = 0;
};

struct ProbeLookups {
  // Reverse lookup of a dotted address: the first address of the entry found, if any.
  std::function<std::optional<Ipv4Address>(const Ipv4Address&)> reverse;
  // Forward lookup of a name: its first address, if any.
  std::function<std::optional<Ipv4Address>(std::string_view)> resolve;
};

// The system's lookups, each bounded by `timeout`.
ProbeLookups SystemProbeLookups(std::chrono::milliseconds timeout = std::chrono::seconds(2));

class FirstHopProbe : public AddressProbe {
 public:
  static constexpr std::chrono::milliseconds kEchoTimeout{1000};

  FirstHopProbe(std::unique_ptr<platform::IcmpEcho> echo, ProbeLookups lookups);

  // An empty address gives false. A dotted address is looked up in reverse first and the
  // entry's first address is the target (the address itself when nothing is found); any other
  // text is resolved as a name, and one that does not resolve gives false.
  bool Probe(std::string_view address, int ttl) override;

 private:
  std::unique_ptr<platform::IcmpEcho> echo_;
  ProbeLookups lookups_;
};

// A probe with the system's ICMP facility and lookups; nothing when this process cannot send
// echoes (the monitor then asks the servers every minute).
std::unique_ptr<AddressProbe> OpenFirstHopProbe();

}  // namespace quorin::client
