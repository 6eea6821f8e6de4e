// A client record with a logged-in account for the monitor's tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client/record/client_context.h"

namespace quorin::client::testing {

struct TestHost {
  std::string label;
  std::string address;
  bool enabled = true;
};

inline void AddZone(ClientContext& context, std::size_t slot, std::string_view name,
                    const std::vector<TestHost>& hosts) {
  context.Edit([&](ClientState& state) {
    ZoneRecord zone;
    zone.zoneName = name;
    for (std::size_t i = 0; i < hosts.size() && i < kMaxHostsPerZone; ++i) {
      zone.hosts[i].label = hosts[i].label;
      zone.hosts[i].address = hosts[i].address;
      zone.hosts[i].enabled = hosts[i].enabled;
    }
    state.zones[slot] = zone;
  });
}

inline void LogIn(ClientContext& context, std::string_view user, std::string_view key,
                  std::string_view randText = "R1") {
  context.Edit([&](ClientState& state) {
    state.userName = user;
    state.key = key;
    state.randText = randText;
  });
}

inline HostRecord Host(const ClientContext& context, std::string_view zone,
                       std::string_view label) {
  return context.FindHost(zone, label).value();
}

inline void MarkChanged(ClientContext& context, std::string_view zone, std::string_view label) {
  context.Edit([&](ClientState& state) { FindHost(state, zone, label)->changed = true; });
}

}  // namespace quorin::client::testing
