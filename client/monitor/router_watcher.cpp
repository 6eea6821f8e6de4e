#include "client/monitor/router_watcher.h"

#include <algorithm>
#include <chrono>

#include "client/monitor/local_address.h"

namespace quorin::client {
namespace {

constexpr Ipv4Address kAllHostsGroup{224, 0, 0, 1};
// A receive is never stop-aware, so waits are cut into slices of this much real time: a stop
// ends the watcher within one slice.
constexpr std::int64_t kListenSliceMs = 500;
constexpr std::int64_t kAnswerSliceMs = 250;
constexpr std::int64_t kRouteCheckMs = 10000;

using SteadyClock = std::chrono::steady_clock;

}  // namespace

void KnownAddress::Set(std::string_view dotted) {
  const auto parsed = ParseInetAddr(dotted);
  std::lock_guard lock(mutex_);
  address_ = parsed;
}

std::optional<Ipv4Address> KnownAddress::Get() const {
  std::lock_guard lock(mutex_);
  return address_;
}

RouterWatcher::RouterWatcher(std::unique_ptr<platform::RouterLink> link,
                             platform::ChangeSignal& wake, const KnownAddress& known,
                             std::function<void(std::string_view)> log,
                             std::function<bool()> switchedOn)
    : link_(std::move(link)),
      wake_(wake),
      known_(known),
      log_(std::move(log)),
      switchedOn_(std::move(switchedOn)),
      clock_(platform::CurrentClock()),
      thread_([this](platform::StopToken stop) { Run(stop); }) {}

RouterWatcher::~RouterWatcher() = default;

void RouterWatcher::Run(const platform::StopToken& stop) {
  while (!stop.StopRequested()) {
    if (clock_.NowMs() >= nextRouteCheckAt_) {
      FollowRoute();
      nextRouteCheckAt_ = clock_.NowMs() + kRouteCheckMs;
    }
    if (route_ && clock_.NowMs() >= nextPollAt_)
      Ask(stop);
    if (stop.StopRequested())
      return;
    if (route_ && listener_) {
      // A slice ends no later than the next question is due, so the question is not late by
      // up to a slice (over UPnP that would eat into the bound of a change noticed in 12 s).
      const std::int64_t sliceMs =
          std::clamp<std::int64_t>(nextPollAt_ - clock_.NowMs(), 1, kListenSliceMs);
      const platform::UdpReceive got =
          listener_->Receive(kRouterDatagramMaxBytes + 1, std::chrono::milliseconds(sliceMs));
      if (got.status == platform::UdpReceiveStatus::kFailed) {
        listener_.reset();  // opened again at the next look at the route
      } else if (got.status == platform::UdpReceiveStatus::kDatagram &&
                 got.datagram.sender == route_->gateway) {
        if (const auto message = ParseRouterDatagram(got.datagram.bytes))
          Take(*message, stop);
      }
    } else {
      // No gateway, or no listener: only the questions remain, at their times.
      platform::SystemClock().WaitFor(kListenSliceMs, stop);
    }
  }
}

void RouterWatcher::FollowRoute() {
  // Switched off, the watcher is as without a router: its listener closes, nothing is asked,
  // and once switched on again the router is asked at once as a new one.
  const bool on = !switchedOn_ || switchedOn_();
  const auto route = on ? link_->FindDefaultRoute() : std::nullopt;
  if (route != route_) {
    // Another router, or none: what the last one said no longer counts, and the new one is
    // asked at once.
    route_ = route;
    listener_.reset();
    lastReported_.reset();
    behindAnotherNat_ = false;
    preferIgd_ = false;
    silentPolls_ = 0;
    nextPollAt_ = clock_.NowMs();
  }
  if (route_ && !listener_) {
    listener_ = link_->OpenMulticastListener(kAllHostsGroup, kRouterAnnouncementPort,
                                             route_->interfaceIndex);
  }
}

void RouterWatcher::Ask(const platform::StopToken& stop) {
  // A router that answered over UPnP last time is asked so again first: a router without
  // NAT-PMP would otherwise cost every question its 3.75 s of silence.
  bool answered = preferIgd_ && AskIgd();
  if (!answered)
    answered = AskNatPmp(stop) || (!stop.StopRequested() && AskIgd());
  silentPolls_ = answered ? 0 : std::min(silentPolls_ + 1, kRouterSilentPolls);
  nextPollAt_ =
      clock_.NowMs() + (silentPolls_ >= kRouterSilentPolls ? kRouterSlowPollMs : kRouterPollMs);
}

bool RouterWatcher::AskIgd() {
  const auto reported = link_->AskIgdExternalAddress(*route_);
  preferIgd_ = reported.has_value();
  if (reported)
    TakeAddress(*reported);
  return preferIgd_;
}

bool RouterWatcher::AskNatPmp(const platform::StopToken& stop) {
  bool answered = false;
  if (const auto socket = link_->OpenSocket()) {
    const std::string request = ExternalAddressRequest();
    std::int64_t waitMs = kRouterFirstWaitMs;
    for (int attempt = 0; attempt < kRouterTries && !answered; ++attempt, waitMs *= 2) {
      if (stop.StopRequested() || !socket->SendTo(route_->gateway, kRouterServerPort, request))
        break;
      const auto deadline = SteadyClock::now() + std::chrono::milliseconds(waitMs);
      while (!answered && !stop.StopRequested()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0)
          break;
        const platform::UdpReceive got = socket->Receive(
            kRouterDatagramMaxBytes + 1, std::min(left, std::chrono::milliseconds(kAnswerSliceMs)));
        if (got.status == platform::UdpReceiveStatus::kFailed)
          break;
        // Only the gateway's server answers; anything else on the LAN is ignored.
        if (got.status != platform::UdpReceiveStatus::kDatagram ||
            got.datagram.sender != route_->gateway ||
            got.datagram.senderPort != kRouterServerPort) {
          continue;
        }
        const auto message = ParseRouterDatagram(got.datagram.bytes);
        if (message && message->kind == RouterMessageKind::kExternalAddress) {
          answered = true;
          Take(*message, stop);
        }
      }
    }
  }
  if (answered)
    preferIgd_ = false;
  return answered;
}

void RouterWatcher::Take(const RouterMessage& message, const platform::StopToken& stop) {
  if (message.kind == RouterMessageKind::kPcpAnnounce) {
    // PCP names no address: the router's answer to the question tells whether it changed.
    Ask(stop);
    return;
  }
  // A router without an external address (no connection, or, for miniupnpd, one in a private
  // range) has nothing to say; the monitor's minute goes on as before.
  if (message.resultCode != kNatPmpSuccess || !message.externalAddress)
    return;
  TakeAddress(*message.externalAddress);
}

void RouterWatcher::TakeAddress(const Ipv4Address& reported) {
  if (!IsInternetAddress(reported)) {
    if (!behindAnotherNat_ && log_)
      log_(kDoubleNatLogText);
    behindAnotherNat_ = true;
    lastReported_ = reported;
    return;
  }
  behindAnotherNat_ = false;
  const bool news = lastReported_ != reported;
  lastReported_ = reported;
  const auto known = known_.Get();
  if (news && known && *known != reported)
    wake_.Set();
}

}  // namespace quorin::client
