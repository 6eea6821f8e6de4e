// The router watcher: behind a home router the machine never holds its public address, so the
// system's address notifications say nothing when the router's address changes. The router
// itself knows at once and, where it speaks NAT-PMP or PCP, tells the LAN. The watcher listens
// for those announcements and asks the router for its external address every kRouterPollMs (a
// lost announcement is never repeated) over NAT-PMP, or, where that stays silent, over UPnP
// IGD; it wakes the address monitor through the same signal as
// the system's notifications when
//   - the router announces an external address other than the last public address the monitor
//     found, or PCP announces a change (which carries no address) and the router's answer to
//     the question that follows differs so, or
//   - the router's answer to the periodic question (either protocol) differs so.
// A report wakes the monitor once: the same address again (the monitor's check may have found
// another one, as a provider behind a VPN would see) waits for the router's next change.
//
// The router's word never reaches a host record: the monitor's usual check follows, so the
// provider stores what its own services see. A router that reports a private, shared or
// reserved address is itself behind another translator (double NAT); then the watcher stays
// quiet and logs that once, and the monitor's minute does the work as before. Only datagrams
// from the current default gateway count; the watcher follows the gateway when it changes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "client/monitor/router_datagram.h"
#include "common/ipv4.h"
#include "platform/change_signal.h"
#include "platform/clock.h"
#include "platform/router_link.h"
#include "platform/stop_token.h"
#include "platform/stoppable_thread.h"

namespace quorin::client {

// The router is asked this often while it answers.
inline constexpr std::int64_t kRouterPollMs = 10000;
// and this often after kRouterSilentPolls questions in a row went unanswered (a router without
// NAT-PMP), so that such a LAN is not asked forever at the fast rate.
inline constexpr std::int64_t kRouterSlowPollMs = 60000;
inline constexpr int kRouterSilentPolls = 3;
// One question: the first wait and the number of tries, each wait twice the one before (the
// protocol's 250 ms doubling, bounded to 3.75 s in all rather than its minute).
inline constexpr std::int64_t kRouterFirstWaitMs = 250;
inline constexpr int kRouterTries = 4;
inline constexpr std::string_view kDoubleNatLogText =
    "The router reports a private address as its public one: it is behind another router. Its "
    "reports are not used; the address is checked once a minute.";

// The last public address the monitor found, written by the monitor and read by the watcher.
class KnownAddress {
 public:
  void Set(std::string_view dotted);
  std::optional<Ipv4Address> Get() const;

 private:
  mutable std::mutex mutex_;
  std::optional<Ipv4Address> address_;
};

class RouterWatcher {
 public:
  // Starts the watcher's thread. `wake` and `known` must outlive the watcher; `log` takes the
  // double-NAT note. `switchedOn`, read at each look at the route (every 10 s), turns the
  // watcher off and on again while it runs (the settings dialog's box): while off it holds no
  // socket and asks nothing, as without a router; empty means always on. Throws
  // std::system_error when no thread can start.
  RouterWatcher(std::unique_ptr<platform::RouterLink> link, platform::ChangeSignal& wake,
                const KnownAddress& known, std::function<void(std::string_view)> log,
                std::function<bool()> switchedOn = {});
  // Ends the thread before it returns (within about kListenSliceMs, or one question).
  ~RouterWatcher();
  RouterWatcher(const RouterWatcher&) = delete;
  RouterWatcher& operator=(const RouterWatcher&) = delete;

 private:
  void Run(const platform::StopToken& stop);
  void FollowRoute();
  void Ask(const platform::StopToken& stop);
  bool AskNatPmp(const platform::StopToken& stop);
  bool AskIgd();
  void Listen();
  void Take(const RouterMessage& message, const platform::StopToken& stop);
  void TakeAddress(const Ipv4Address& reported);

  const std::unique_ptr<platform::RouterLink> link_;
  platform::ChangeSignal& wake_;
  const KnownAddress& known_;
  const std::function<void(std::string_view)> log_;
  const std::function<bool()> switchedOn_;
  platform::Clock& clock_;

  std::optional<platform::DefaultRoute> route_;
  std::unique_ptr<platform::UdpSocket> listener_;
  std::int64_t nextRouteCheckAt_ = 0;
  std::int64_t nextPollAt_ = 0;
  int silentPolls_ = 0;
  bool preferIgd_ = false;  // the router answered over UPnP, not NAT-PMP
  std::optional<Ipv4Address> lastReported_;
  bool behindAnotherNat_ = false;

  platform::StoppableThread thread_;  // last: it starts once everything above is in place
};

}  // namespace quorin::client
