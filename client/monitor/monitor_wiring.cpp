#include "client/monitor/monitor_wiring.h"

#include <system_error>

#include "client/local/log_file.h"
#include "client/monitor/alert_sound.h"
#include "client/monitor/local_address.h"
#include "client/monitor/resolve_at_server.h"
#include "client/monitor/start_monitoring.h"
#include "client/monitor/status_refresh.h"
#include "client/monitor/udp_address_query.h"
#include "client/protocol/account_requests.h"

namespace quorin::client {
namespace {

bool SaveChanges(RequestEnvironment& environment) {
  std::string message;
  return SaveDomainChange(environment, message, true, true);
}

HttpAddressAnswer AskLoginServer(RequestEnvironment& environment, platform::StopToken stop) {
  // QueryAddressHttp shows a server's error code to the user; the copy's message sink notes
  // that it did, which tells an error code apart from a failed exchange. The copy waits on the
  // monitor's own stop request, which also comes when the program ends.
  RequestEnvironment asking = environment;
  asking.stop = std::move(stop);
  bool serverError = false;
  asking.showMessage = [&serverError, &environment](std::string_view message) {
    serverError = true;
    if (environment.showMessage)
      environment.showMessage(message);
  };
  HttpAddressAnswer answer;
  std::string message;
  if (QueryAddressHttp(asking, answer.address, message)) {
    answer.status = HttpAddressStatus::kAddress;
  } else {
    answer.status = serverError ? HttpAddressStatus::kServerError : HttpAddressStatus::kFailed;
    answer.address.clear();
  }
  return answer;
}

}  // namespace

std::shared_ptr<const ConfirmationServices> MakeConfirmationServices(
    RequestEnvironment& environment) {
  auto services = std::make_shared<ConfirmationServices>();
  services->resolve = [](const std::string& server, const std::string& name,
                         platform::StopToken stop) {
    return ResolveAtServer(server, name, kDnsPort, platform::SystemUdpNetwork(), {}, stop);
  };
  services->save = [&environment] { return SaveChanges(environment); };
  return services;
}

std::shared_ptr<const MonitorServices> MakeMonitorServices(RequestEnvironment& environment,
                                                           const StringTable& strings,
                                                           ConfirmationRegistry& confirmations) {
  auto services = std::make_shared<MonitorServices>();
  services->sources.machineAddresses = MachineAddresses;
  services->sources.queryUdp = [&environment](const AccountCredentials& credentials,
                                              platform::StopToken stop) {
    return QueryPublicAddress(credentials, environment.settings, platform::SystemUdpNetwork(), {},
                              stop);
  };
  services->sources.queryHttp = [&environment](platform::StopToken stop) {
    return AskLoginServer(environment, std::move(stop));
  };
  services->save = [&environment] { return SaveChanges(environment); };
  services->startConfirmation =
      [&confirmations, confirmation = MakeConfirmationServices(environment)](
          ClientContext& context) { StartConfirmation(context, confirmation, confirmations); };
  services->appendLog = [&environment](int type, std::string_view message) {
    AppendLogEntry(environment.context, environment.settings, type, message);
  };
  services->openProbe = OpenFirstHopProbe;
  services->openChangeNotifier =
      [&environment]() -> std::unique_ptr<platform::AddressChangeNotifier> {
    if (!environment.settings.WatchAddressChanges())
      return nullptr;
    return platform::OpenAddressChangeNotifier();
  };
  services->openRouterWatcher = [&environment](
                                    platform::ChangeSignal& wake,
                                    const KnownAddress& known) -> std::unique_ptr<RouterWatcher> {
    auto link = platform::OpenRouterLink();
    if (!link)
      return nullptr;
    // The switch is read while the watcher runs, so the settings dialog's box takes effect
    // within 10 s rather than at the next login.
    try {
      return std::make_unique<RouterWatcher>(
          std::move(link), wake, known,
          [&environment](std::string_view message) {
            AppendLogEntry(environment.context, environment.settings, kLogInformation, message);
          },
          [&environment] { return environment.settings.WatchRouter(); });
    } catch (const std::system_error&) {
      return nullptr;  // no thread could start: the monitor keeps its minute
    }
  };
  services->openResumeWatcher =
      [&environment](platform::ChangeSignal& target) -> std::unique_ptr<platform::ResumeWatcher> {
    if (!environment.settings.CheckAfterResume())
      return nullptr;
    return platform::OpenResumeWatcher(target);
  };
  services->autoDial = [&environment] { return environment.settings.AutoDial(); };
  services->alertSound = [](int count) { AlertSound(count); };
  services->postStatusRefresh = PostStatusRefresh;
  services->loadText = [&strings](unsigned id) { return strings.Load(id); };
  return services;
}

void StartProcessMonitoring(const StringTable& strings) {
  RequestEnvironment& environment = ProcessRequestEnvironment();
  StartMonitoring(environment.context, MakeMonitorServices(environment, strings));
}

}  // namespace quorin::client
