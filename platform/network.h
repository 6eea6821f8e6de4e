// The socket layer's process-wide set-up and host-name lookup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ipv4.h"
#include "platform/stop_token.h"

namespace quorin::platform {

// Starts the platform's socket layer for the lifetime of the object (Windows Sockets needs
// this before any socket call; elsewhere there is nothing to do).
class NetworkSession {
 public:
  NetworkSession();
  ~NetworkSession();
  NetworkSession(const NetworkSession&) = delete;
  NetworkSession& operator=(const NetworkSession&) = delete;

  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// Default bound of a host-name lookup. The system resolver has time-outs of its own, but they
// can add up to half a minute, longer than any caller may wait.
inline constexpr int kDefaultLookupTimeoutMs = 5000;

// What a lookup learnt: the first IPv4 address, or, when there is none, whether the name
// server said so (the name does not exist or has no IPv4 address). A lookup that could not
// ask (no network, no answer in time) has neither: the name may well exist.
struct HostLookup {
  std::optional<Ipv4Address> address;
  bool noSuchName = false;
};

// Looks up a host name within the time-out (a dotted text is parsed, not looked up); a stop
// request ends the wait like the time-out.
HostLookup LookUpHost(std::string_view host, int timeoutMs = kDefaultLookupTimeoutMs,
                      StopToken stop = {});

// The first IPv4 address of a host name (a dotted text is parsed, not looked up). Nothing when
// the name does not resolve within the time-out or the wait was stopped.
std::optional<Ipv4Address> ResolveIPv4(std::string_view host,
                                       int timeoutMs = kDefaultLookupTimeoutMs,
                                       StopToken stop = {});

// A dotted address text returned unchanged, or a host name resolved to the dotted text of its
// first IPv4 address; empty when it does not resolve.
std::string ResolveToAddressText(std::string_view text, int timeoutMs = kDefaultLookupTimeoutMs);

// The system's blocking lookup, which each backend provides. Callers use LookUpHost or
// ResolveIPv4, which bound its time.
HostLookup LookupIPv4Blocking(const std::string& host);

}  // namespace quorin::platform
