// ICMP echo with a chosen TTL, for the monitor's first-hop probe: a TTL-1 echo to the last
// public address is answered only while the first router on the way still owns that address.
//
// Windows: IcmpSendEcho of "ICMP.DLL" (or of iphlpapi.dll where ICMP.DLL is gone), loaded at
// run time. POSIX: a ping socket (SOCK_DGRAM, IPPROTO_ICMP) where net.ipv4.ping_group_range
// admits the process, else a raw ICMP socket where the process may open one.
#pragma once

#include <chrono>
#include <memory>

#include "common/ipv4.h"

namespace quorin::platform {

class IcmpEcho {
 public:
  virtual ~IcmpEcho() = default;

  // Sends one echo request without payload to `target` with IP time-to-live `ttl` and waits
  // at most `timeout`. True only when `target` itself sent the echo reply; an expired TTL, an
  // unreachable target or silence give false.
  virtual bool Echo(const Ipv4Address& target, int ttl, std::chrono::milliseconds timeout) = 0;
};

// The system's echo facility, or nothing when this process cannot send echoes.
std::unique_ptr<IcmpEcho> OpenIcmpEcho();

}  // namespace quorin::platform
