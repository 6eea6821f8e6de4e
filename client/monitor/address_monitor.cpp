#include "client/monitor/address_monitor.h"

#include "client/record/account_key.h"
#include "client/texts/string_table.h"
#include "platform/clock.h"

namespace quorin::client {
namespace {

constexpr int kLogInformation = 0;
constexpr int kLogNoAddress = 1;
constexpr int kProbeTtl = 1;

class Monitor {
 public:
  Monitor(ClientContext& context, const MonitorServices& services, MonitorShared& shared,
          std::uint64_t generation, platform::StopToken stop)
      : context_(context),
        services_(services),
        shared_(shared),
        generation_(generation),
        stop_(std::move(stop)),
        clock_(platform::CurrentClock()),
        notifier_(services_.openChangeNotifier ? services_.openChangeNotifier() : nullptr),
        wakeUps_(notifier_ ? notifier_->Changes() : ownWakeUps_),
        router_(services_.openRouterWatcher ? services_.openRouterWatcher(wakeUps_, known_)
                                            : nullptr),
        resume_(services_.openResumeWatcher ? services_.openResumeWatcher(wakeUps_) : nullptr),
        rhythm_(clock_, notifier_ || router_ || resume_ ? &wakeUps_ : nullptr) {}

  void Run() {
    if (services_.openProbe)
      probe_ = services_.openProbe();
    if (!WaitForUser())
      return;

    const std::string userName = ReadCredentials(context_).userName;
    const std::string pending = Text(text_id::kAddressPending);
    if (!Write([&](ClientState& state) {
          SetStatusText(state, kStatusUser, userName);
          SetStatusText(state, kStatusLine, "");
          SetStatusText(state, kStatusAddress, pending);
        })) {
      return;
    }
    Refresh();
    last_.clear();

    while (Alive()) {
      if (!QueryAndUpdate())
        return;
      if (!WaitAndProbe())
        return;
    }
  }

 private:
  template <typename Fn>
  bool Write(Fn&& fn) {
    return context_.EditIfCurrent(generation_, std::forward<Fn>(fn));
  }

  bool Alive() const { return !stop_.StopRequested() && context_.IsCurrentGeneration(generation_); }

  void Beat() {
    if (Alive())
      shared_.heartbeat.store(kHeartbeatAlive);
  }

  void Refresh() {
    if (Alive() && services_.postStatusRefresh)
      services_.postStatusRefresh();
  }

  void Trace(std::string_view line) {
    if (services_.trace)
      services_.trace(line);
  }

  void Log(int type, std::string_view message) {
    if (Alive() && services_.appendLog)
      services_.appendLog(type, message);
  }

  std::string Text(unsigned id) const {
    return services_.loadText ? services_.loadText(id) : std::string();
  }

  // Step 2: nothing to do until someone has logged in; the heartbeat stays alive meanwhile.
  bool WaitForUser() {
    while (Alive()) {
      if (!ReadCredentials(context_).userName.empty())
        return true;
      Beat();
      if (!clock_.WaitFor(kUserWaitMs, stop_))
        return false;
    }
    return false;
  }

  // Steps 4 to 6: one query and what follows from it. False once the monitor must end.
  bool QueryAndUpdate() {
    const CurrentAddress current = GetCurrentAddress(services_.sources, ReadCredentials(context_),
                                                     shared_.behindRouter, stop_);
    if (!Alive())
      return false;
    last_ = current.address;
    behindRouter_ = current.behindRouter;
    if (current.found)
      known_.Set(last_);
    const std::string connection =
        Text(behindRouter_ == 1 ? text_id::kBehindRouter : text_id::kDirectAddress);
    if (!Write([&](ClientState& state) { SetStatusText(state, kStatusConnection, connection); })) {
      return false;
    }
    return current.found ? TakeAddress() : ReportNoAddress();
  }

  bool TakeAddress() {
    Trace("Found IP address changed!\n");
    bool changed = false;
    if (!Write([&](ClientState& state) {
          if (state.statusTexts[kStatusAddress].str() == last_)
            return;
          changed = true;
          SetStatusText(state, kStatusAddress, last_);
          for (auto& zone : state.zones) {
            if (!zone)
              continue;
            for (HostRecord& host : zone->hosts) {
              if (host.label.empty() || !host.enabled)
                continue;
              host.address = last_;
              host.changed = true;
            }
          }
        })) {
      return false;
    }
    if (!changed)
      return true;

    bool saved = false;
    if (IsFreeAccount(context_)) {
      Trace("This is free customer, now try to save domain change\n");
      saved = Save();
      if (saved && !ClearMarks())
        return false;
      saveOutstanding_ = !saved;
    } else {
      Trace("This is VIP customer, now try to save domain change\n");
      // The confirmation repeats the save until the account's DNS server shows the address.
      saved = Save();
      if (!Alive())
        return false;
      if (services_.startConfirmation)
        services_.startConfirmation(context_);
    }
    // The status line claims a saved change only when the server took it.
    const std::string status = saved ? Text(text_id::kStatusSaved) : std::string();
    if (!Write([&](ClientState& state) { SetStatusText(state, kStatusLine, status); })) {
      return false;
    }
    Log(kLogInformation, kAddressChangeLogText);
    Refresh();
    return Alive();
  }

  bool ReportNoAddress() {
    const std::string status = Text(text_id::kStatusNoAddress);
    const std::string none = Text(text_id::kAddressNone);
    if (!Write([&](ClientState& state) {
          SetStatusText(state, kStatusLine, status);
          SetStatusText(state, kStatusAddress, none);
        })) {
      return false;
    }
    Log(kLogNoAddress, Text(text_id::kLogNoAddress));
    Refresh();
    if (services_.autoDial && services_.autoDial() && services_.alertSound) {
      services_.alertSound(kAlertSweeps);
    }
    return Alive();
  }

  bool Save() { return services_.save ? services_.save() : false; }

  bool ClearMarks() {
    return Write([](ClientState& state) { ClearChangedMarks(state); });
  }

  // A free account's save that failed is repeated while its marks remain.
  void RepeatOutstandingSave() {
    if (!saveOutstanding_)
      return;
    if (!IsFreeAccount(context_) || !context_.FirstChangedDomain()) {
      saveOutstanding_ = false;
      return;
    }
    Trace("This is free customer, now try to save domain change\n");
    if (!Save() || !ClearMarks())
      return;
    saveOutstanding_ = false;
    const std::string status = Text(text_id::kStatusSaved);
    if (Write([&](ClientState& state) { SetStatusText(state, kStatusLine, status); }))
      Refresh();
  }

  // Step 7: wait a minute (or until soon after an announced change); behind a router, stay in
  // this step while the first hop still answers for the last address. A save still outstanding
  // is repeated at any check: an announced change is a good moment, as the network may just
  // have come back.
  bool WaitAndProbe() {
    bool answered = false;
    do {
      if (!rhythm_.WaitForNextCheck(stop_) || !Alive())
        return false;
      Refresh();
      RepeatOutstandingSave();
      answered = probe_ != nullptr && behindRouter_ == 1 && probe_->Probe(last_, kProbeTtl);
      Beat();
    } while (answered && Alive());
    return Alive();
  }

  ClientContext& context_;
  const MonitorServices& services_;
  MonitorShared& shared_;
  const std::uint64_t generation_;
  const platform::StopToken stop_;
  platform::Clock& clock_;
  // Declared before the rhythm, which waits on their signal; they go after the rhythm, and
  // with them their registrations and threads.
  const std::unique_ptr<platform::AddressChangeNotifier> notifier_;
  // Every wake-up sets one signal: the notifier's when there is one, else the monitor's own.
  platform::ChangeSignal ownWakeUps_;
  platform::ChangeSignal& wakeUps_;
  KnownAddress known_;  // read by the router watcher, so it goes after it
  // Both set wakeUps_, so they go before it.
  const std::unique_ptr<RouterWatcher> router_;
  const std::unique_ptr<platform::ResumeWatcher> resume_;
  CheckRhythm rhythm_;
  std::unique_ptr<AddressProbe> probe_;
  std::string last_;
  int behindRouter_ = 1;
  bool saveOutstanding_ = false;
};

}  // namespace

void RunAddressMonitor(ClientContext& context, const MonitorServices& services,
                       MonitorShared& shared, std::uint64_t generation, platform::StopToken stop) {
  Monitor(context, services, shared, generation, std::move(stop)).Run();
}

}  // namespace quorin::client
