#include "client/record/client_context.h"

namespace quorin::client {

ClientState::ClientState() {
  statusTexts[kStatusUser] = kNotLoggedInText;
  statusTexts[kStatusLine] = kNotConnectedText;
}

void SetStatusText(ClientState& state, int index, std::string_view text) {
  if (index < 0 || index >= static_cast<int>(kStatusTextCount))
    return;
  state.statusTexts[static_cast<std::size_t>(index)] = text;
}

void FreeZones(ClientState& state) {
  for (auto& zone : state.zones)
    zone.reset();
}

const HostRecord* FindHost(const ClientState& state, std::string_view zoneName,
                           std::string_view label) {
  for (const auto& zone : state.zones) {
    if (!zone || zone->zoneName.str() != zoneName)
      continue;
    for (const auto& host : zone->hosts) {
      if (host.label.str() == label)
        return &host;
    }
  }
  return nullptr;
}

HostRecord* FindHost(ClientState& state, std::string_view zoneName, std::string_view label) {
  return const_cast<HostRecord*>(FindHost(static_cast<const ClientState&>(state), zoneName, label));
}

std::optional<std::string> FirstChangedDomain(const ClientState& state) {
  for (const auto& zone : state.zones) {
    if (!zone)
      continue;
    for (const auto& host : zone->hosts) {
      if (host.changed)
        return host.label.str() + "." + zone->zoneName.str();
    }
  }
  return std::nullopt;
}

void ClearChangedMarks(ClientState& state) {
  for (auto& zone : state.zones) {
    if (!zone)
      continue;
    for (auto& host : zone->hosts)
      host.changed = false;
  }
}

ClientContext::ClientContext() = default;

ClientContext::~ClientContext() {
  StopWatchdog();
}

std::uint64_t ClientContext::BeginGeneration() {
  std::lock_guard lock(mutex_);
  return ++generation_;
}

bool ClientContext::IsCurrentGeneration(std::uint64_t generation) const {
  std::lock_guard lock(mutex_);
  return generation == generation_;
}

ClientState ClientContext::Snapshot() const {
  return Read([](const ClientState& state) { return state; });
}

void ClientContext::SetStatusText(int index, std::string_view text) {
  Edit([&](ClientState& state) { client::SetStatusText(state, index, text); });
}

std::string ClientContext::StatusText(int index) const {
  if (index < 0 || index >= static_cast<int>(kStatusTextCount))
    return std::string();
  return Read([&](const ClientState& state) {
    return state.statusTexts[static_cast<std::size_t>(index)].str();
  });
}

std::string ClientContext::Key() const {
  return Read([](const ClientState& state) { return state.key.str(); });
}

void ClientContext::FreeZones() {
  Edit([](ClientState& state) { client::FreeZones(state); });
}

std::optional<HostRecord> ClientContext::FindHost(std::string_view zoneName,
                                                  std::string_view label) const {
  return Read([&](const ClientState& state) -> std::optional<HostRecord> {
    const HostRecord* host = client::FindHost(state, zoneName, label);
    if (host == nullptr)
      return std::nullopt;
    return *host;
  });
}

std::optional<std::string> ClientContext::FirstChangedDomain() const {
  return Read([](const ClientState& state) { return client::FirstChangedDomain(state); });
}

void ClientContext::ClearChangedMarks() {
  Edit([](ClientState& state) { client::ClearChangedMarks(state); });
}

std::unique_ptr<BackgroundTask> ClientContext::ExchangeWatchdog(
    std::unique_ptr<BackgroundTask> watchdog) {
  std::lock_guard lock(mutex_);
  watchdog_.swap(watchdog);
  return watchdog;
}

bool ClientContext::HasWatchdog() const {
  std::lock_guard lock(mutex_);
  return watchdog_ != nullptr;
}

void ClientContext::StopWatchdog() {
  std::unique_ptr<BackgroundTask> old = ExchangeWatchdog(nullptr);
  if (old)
    old->RequestStop();
  // Destroying the task joins its thread, which may need the record: the lock is not held.
  old.reset();
}

ClientContext& GetClientContext() {
  static ClientContext context;
  return context;
}

}  // namespace quorin::client
