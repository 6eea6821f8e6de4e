#include "client/headless/headless_session.h"

#include <atomic>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

#include "client/headless/exit_codes.h"
#include "client/headless/status_printer.h"
#include "client/local/profile_file.h"
#include "client/monitor/confirmation.h"
#include "client/monitor/monitor_wiring.h"
#include "client/monitor/status_refresh.h"
#include "client/monitor/task_reaper.h"
#include "client/protocol/login.h"
#include "client/protocol/provider_config.h"
#include "client/texts/client_texts.h"
#include "client/texts/format_time.h"
#include "client/texts/reply_codes.h"
#include "platform/clock.h"
#include "platform/stoppable_thread.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;

// How often the main loop looks at the stop request, the login and the status (real time):
// often enough that a stop and a status line feel immediate, seldom enough that an idle client
// costs next to no CPU (18 000 wake-ups an hour).
constexpr auto kLoopTick = 200ms;

// Lines from the main loop and from the workers' messages must not interleave.
class Printer {
 public:
  explicit Printer(std::ostream& out) : out_(out), status_(out) {}
  void Line(const std::string& text) {
    std::lock_guard lock(mutex_);
    const std::string time =
        FormatTimeMs("%Y-%m-%d %H:%M:%S", platform::CurrentClock().LocalTime(), 32).value_or("");
    out_ << time << "  " << text << std::endl;
  }
  void StatusIfChanged(const ClientContext& context) {
    std::lock_guard lock(mutex_);
    status_.PrintIfChanged(context, platform::CurrentClock().LocalTime());
  }

 private:
  std::mutex mutex_;
  std::ostream& out_;
  StatusPrinter status_;
};

struct LoginAttempt {
  std::atomic<bool> done{false};
  bool ok = false;
  std::string message;
};

// Stops the monitor, the confirmations and a login still running: every request of the
// process is stopped first, so that none of them waits for a server any longer. Should a
// thread still not end within the grace (a system call that ignores every bound), the process
// leaves without it. Nothing is lost then: every log entry and profile write is complete on
// disk before its call returns.
void StopEverything(RequestEnvironment& environment, platform::StoppableThread& login,
                    const HeadlessRunConfig& config, Printer& printer) {
  StopProcessRequests();
  auto stopped = std::async(std::launch::async, [&] {
    environment.context.StopWatchdog();
    ProcessConfirmations().StopAll();
    ProcessTaskReaper().WaitForAll();
    if (login.Joinable())
      login.Join();
  });
  if (stopped.wait_for(config.stopGrace) == std::future_status::ready)
    return;
  printer.Line("stopping takes too long (a server does not answer); leaving now");
  if (config.beforeForcedExit)
    config.beforeForcedExit();
  std::_Exit(0);
}

}  // namespace

std::optional<SilentAccount> ChooseAccount(const HeadlessRunConfig& config,
                                           const Settings& settings) {
  if (config.silent)
    return config.silent;
  if (!settings.AutoLogin())
    return std::nullopt;
  return RememberedAccount(config.profilePath);
}

std::optional<SilentAccount> RememberedAccount(const std::string& profilePath) {
  const auto profile = CurrentProfile(LoadProfiles(profilePath));
  if (!profile || profile->savePassword == 0 || profile->password.empty() ||
      profile->userName.empty())
    return std::nullopt;
  return SilentAccount{profile->userName.str(), profile->password.str()};
}

void PrepareProcessRequests(const StringTable& strings, const Settings& settings) {
  ProcessClientTexts().Fill(strings);
  ProcessReplyCodes().Fill(strings);
  SetDdnsHostName(UpdateHostPrimary(settings));
}

int RunHeadlessClient(const HeadlessRunConfig& config, const StringTable& strings,
                      std::ostream& out, const std::function<bool()>& stopRequested) {
  RequestEnvironment& environment = ProcessRequestEnvironment();
  Printer printer(out);
  const auto account = ChooseAccount(config, environment.settings);
  if (!account) {
    printer.Line(
        "no account to log in with: remember one with --remember USER, or give -silent USER "
        "with --password-file FILE (see --help)");
    return kExitNoAccount;
  }

  PrepareProcessRequests(strings, environment.settings);
  SetProcessMessageSink(
      [&printer](std::string_view message) { printer.Line("server: " + std::string(message)); });
  std::atomic<bool> refresh{true};
  SetStatusRefreshCallback([&refresh] { refresh = true; });

  platform::Clock& clock = platform::CurrentClock();
  platform::StoppableThread login;
  std::shared_ptr<LoginAttempt> attempt;
  std::int64_t retryAt = clock.NowMs();  // the first attempt starts at once
  bool monitoring = false;

  while (!stopRequested()) {
    if (refresh.exchange(false))
      printer.StatusIfChanged(environment.context);
    if (!monitoring && !attempt && clock.NowMs() >= retryAt) {
      attempt = std::make_shared<LoginAttempt>();
      if (login.Joinable())
        login.Join();
      login = platform::StoppableThread(
          [&environment, attempt, user = account->user, password = account->password] {
            attempt->ok = Login(environment, user, password, attempt->message);
            attempt->done = true;
          });
    }
    if (attempt && attempt->done) {
      if (attempt->ok) {
        printer.Line("logged in as " + account->user);
        StartProcessMonitoring(strings);
        monitoring = true;
      } else {
        printer.Line("login failed: " + attempt->message + " (trying again in " +
                     std::to_string(config.retryDelay.count() / 1000) + " s)");
        retryAt = clock.NowMs() + config.retryDelay.count();
      }
      attempt.reset();
      refresh = true;
    }
    platform::WaitRealTime(kLoopTick, {});
  }

  // A change that arrived with the stop request is still shown: the last status line tells the
  // state the client stopped in.
  printer.StatusIfChanged(environment.context);
  printer.Line("stopping");
  StopEverything(environment, login, config, printer);
  SetStatusRefreshCallback({});
  SetProcessMessageSink({});
  printer.Line("stopped");
  return kExitSuccess;
}

}  // namespace quorin::client
