// The address monitor: once a minute it makes sure the user's host records point at the
// machine's public address. It finds the address (or, behind a router, tests cheaply with a
// TTL-1 echo that the last one still holds), and when the address differs from the one shown
// it writes it into every enabled host record, saves the change at the login server and, for
// a VIP account, starts the confirmation at the account's DNS server.
//
// A free account's changed marks are cleared only after a save succeeded; while a save is
// outstanding the monitor repeats it at each check.
//
// Where the system announces changes of the machine's own addresses, or a resume from sleep,
// the minute's wait also ends soon after such an announcement (check_rhythm.h); the check that
// follows is the usual one. The router watcher (router_watcher.h) ends it the same way when the
// home router announces or reports another public address.
//
// The monitor writes into the record only through its generation: once a newer monitor has
// started, every write of this one is a no-op and it ends at its next step.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "client/monitor/check_rhythm.h"
#include "client/monitor/current_address.h"
#include "client/monitor/first_hop_probe.h"
#include "client/monitor/monitor_shared.h"
#include "client/monitor/router_watcher.h"
#include "client/record/client_context.h"
#include "platform/address_change_notifier.h"
#include "platform/resume_watcher.h"
#include "platform/stop_token.h"

namespace quorin::client {

inline constexpr std::int64_t kUserWaitMs = 1000;
inline constexpr int kAlertSweeps = 3;
inline constexpr std::string_view kAddressChangeLogText = "IP Change";

// What the monitor works with. Every member may be empty, which leaves that step out (a test
// fills what it watches).
struct MonitorServices {
  AddressSources sources;
  // SaveDomainChange with enabled and waitReply set: true when the login server took it.
  std::function<bool()> save;
  // StartConfirmation for the record.
  std::function<void(ClientContext&)> startConfirmation;
  // AppendLogEntry(type, message).
  std::function<void(int type, std::string_view message)> appendLog;
  // Loads the ICMP facility; nothing when it cannot be used. Each monitor loads its own.
  std::function<std::unique_ptr<AddressProbe>()> openProbe;
  // Opens the system's announcements of address changes; nothing when they are switched off
  // or the system has none (the monitor then keeps to its minute). Each monitor opens its own.
  std::function<std::unique_ptr<platform::AddressChangeNotifier>()> openChangeNotifier;
  // Opens the router watcher, which sets `wake` (the notifier's signal when there is one) and
  // compares the router's reports with `known`; nothing when it is switched off or the system
  // has no backend for it. Each monitor opens its own.
  std::function<std::unique_ptr<RouterWatcher>(platform::ChangeSignal& wake,
                                               const KnownAddress& known)>
      openRouterWatcher;
  // Opens a watcher that sets the given signal when the machine resumes from sleep; nothing
  // when switched off. Each monitor opens its own.
  std::function<std::unique_ptr<platform::ResumeWatcher>(platform::ChangeSignal&)>
      openResumeWatcher;
  // The "isAutoDial" option, read afresh each time.
  std::function<bool()> autoDial;
  // AlertSound(count).
  std::function<void(int count)> alertSound;
  // Posts WM_STATUS_REFRESH to the UI thread.
  std::function<void()> postStatusRefresh;
  // A resource string by its number (the status texts).
  std::function<std::string(unsigned id)> loadText;
  // The debug trace.
  std::function<void(std::string_view line)> trace;
};

// Runs the monitor on the calling thread until `stop` is requested or a newer generation has
// begun in the record.
void RunAddressMonitor(ClientContext& context, const MonitorServices& services,
                       MonitorShared& shared, std::uint64_t generation, platform::StopToken stop);

}  // namespace quorin::client
