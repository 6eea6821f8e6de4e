#include "service/service_host.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client/headless/headless_options.h"
#include "client/headless/headless_session.h"
#include "client/local/profile_file.h"
#include "client/local/settings.h"
#include "client/record/client_context.h"
#include "client/texts/format_time.h"
#include "client/texts/string_table.h"
#include "platform/clock.h"
#include "platform/data_directory.h"
#include "platform/network.h"
#include "platform/resume_watcher.h"
#include "platform/settings_store.h"
#include "platform/win32/wide_text.h"
#include "service/registering_user.h"
#include "service/service_handover.h"
#include "service/service_registration.h"

namespace quorin::standins {
namespace {

// A log that outgrows this is kept once as "TLDDNSService.log.old" when the service starts.
constexpr std::uintmax_t kLogLimit = 1024 * 1024;
// How long stopping may take: the session's grace plus a margin for the last lines.
constexpr DWORD kStopWaitHintMs = 8000;

// The status the service manager sees. The control handler and the service thread both report,
// so the status is changed under a lock (SetServiceStatus is a local call and never blocks).
class StatusReporter {
 public:
  void Attach(SERVICE_STATUS_HANDLE handle) { handle_ = handle; }

  void Report(DWORD state, DWORD waitHintMs = 0) {
    std::lock_guard lock(mutex_);
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = state;
    // The power events tell the service of a resume from sleep (a service has no window to
    // receive WM_POWERBROADCAST).
    status_.dwControlsAccepted =
        state == SERVICE_RUNNING
            ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_POWEREVENT
            : 0;
    status_.dwWaitHint = waitHintMs;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
    ::SetServiceStatus(handle_, &status_);
  }

  void ReportStopped(DWORD serviceExitCode) {
    std::lock_guard lock(mutex_);
    status_.dwCurrentState = SERVICE_STOPPED;
    status_.dwControlsAccepted = 0;
    status_.dwWaitHint = 0;
    status_.dwCheckPoint = 0;
    status_.dwWin32ExitCode = serviceExitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = serviceExitCode;
    ::SetServiceStatus(handle_, &status_);
  }

  // The interrogation: the service manager asks for the current status once more.
  void Repeat() {
    std::lock_guard lock(mutex_);
    ::SetServiceStatus(handle_, &status_);
  }

 private:
  std::mutex mutex_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_{};
};

StatusReporter g_status;
std::atomic<bool> g_stopRequested{false};

DWORD WINAPI HandleControl(DWORD control, DWORD eventType, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_POWEREVENT:
      // The monitor looks at the address at once: it has often changed during the sleep.
      if (eventType == PBT_APMRESUMEAUTOMATIC)
        platform::AnnounceResume();
      return NO_ERROR;
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      g_status.Report(SERVICE_STOP_PENDING, kStopWaitHintMs);
      g_stopRequested = true;
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      g_status.Repeat();
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

std::filesystem::path LogPath() {
  return std::filesystem::path(
      platform::WideFromUtf8(platform::ClientDataFile("TLDDNSService.log")));
}

void OpenLog(std::ofstream& log) {
  const std::filesystem::path path = LogPath();
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kLogLimit) {
    std::filesystem::path old = path;
    old += L".old";
    std::filesystem::rename(path, old, error);
  }
  log.open(path, std::ios::app);
}

// A line of the service's own, stamped like the session's lines.
void LogLine(std::ostream& log, const std::string& text) {
  const std::string time =
      client::FormatTimeMs("%Y-%m-%d %H:%M:%S", platform::CurrentClock().LocalTime(), 32)
          .value_or("");
  log << time << "  TLDDNSService: " << text << std::endl;
}

// The start parameters: the service name first, then the same options as the client without
// windows; only --time-scale has a meaning here (for tests).
std::optional<double> TimeScaleFrom(DWORD argc, wchar_t** argv, std::string& problem) {
  std::vector<std::string> arguments;
  for (DWORD i = 1; i < argc; ++i)
    arguments.push_back(platform::Utf8FromWide(argv[i]));
  const client::HeadlessOptions options = client::ParseHeadlessOptions(arguments);
  if (!options.error.empty())
    problem = options.error;
  else if (options.help || options.silent || options.storeDirectory || options.passwordFile ||
           options.command != client::HeadlessCommand::kRun)
    problem = "only --time-scale can be given to the service";
  if (!problem.empty())
    return std::nullopt;
  return options.timeScale;
}

DWORD RunService(DWORD argc, wchar_t** argv, std::ostream& log) {
  std::string problem;
  const std::optional<double> timeScale = TimeScaleFrom(argc, argv, problem);
  if (!timeScale) {
    LogLine(log, problem);
    return kServiceBadArguments;
  }
  if (!platform::StoreIsUsable(problem)) {
    LogLine(log, problem);
    return kServiceCannotStart;
  }
  platform::NetworkSession network;
  if (!network.ok()) {
    LogLine(log, "the network layer cannot start");
    return kServiceCannotStart;
  }

  // The preferences the registering user changes in the window (the per-host flags, "isLog",
  // "maxLog") are read from that user's own copy of the settings while it can be read (the
  // user is logged on), else from the machine's key, where the registration copied them.
  if (const std::optional<std::string> sid = RecordedRegisteringUser()) {
    const std::vector<std::string> paths =
        VirtualStoreKeyPaths(*sid, std::string(client::kSettingsKey));
    client::ProcessSettings().UsePreferenceSource(
        [paths](std::string_view name) -> std::optional<std::string> {
          for (const std::string& path : paths) {
            if (auto text =
                    platform::SystemSettingsStore().Read(platform::RootKey::Users, path, name))
              return text;
          }
          return std::nullopt;
        });
    LogLine(log, "preferences of the user " + *sid + " are read where that user keeps them");
  }

  client::HeadlessRunConfig config;
  config.profilePath = platform::ClientDataFile(std::string(client::kProfileFileName));
  config.silent = client::RememberedAccount(config.profilePath);
  if (!config.silent) {
    LogLine(log, "no account to log in with: \"" + config.profilePath +
                     "\" names no current account with a remembered password");
    return kServiceNoAccount;
  }
  config.beforeForcedExit = [] { g_status.ReportStopped(0); };
  client::GetClientContext().Edit([](client::ClientState& state) {
    state.logFileName = platform::ClientDataFile("quorin.log");
  });

  platform::ScaledClock scaled(*timeScale, platform::SystemClock().LocalTime());
  std::optional<platform::ScopedClockOverride> clock;
  if (*timeScale != 1.0)
    clock.emplace(scaled);

  g_status.Report(SERVICE_RUNNING);
  client::BuiltinStringTable strings;
  client::RunHeadlessClient(config, strings, log, [] { return g_stopRequested.load(); });
  return 0;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  const SERVICE_STATUS_HANDLE handle =
      ::RegisterServiceCtrlHandlerExW(kServiceName, HandleControl, nullptr);
  if (handle == nullptr)
    return;
  g_status.Attach(handle);
  g_status.Report(SERVICE_START_PENDING, 10000);
  std::ofstream log;
  OpenLog(log);
  const DWORD exitCode = RunService(argc, argv, log);
  log.close();
  g_status.ReportStopped(exitCode);
}

}  // namespace

void AppendToServiceLog(const std::vector<std::string>& lines) {
  std::ofstream log;
  OpenLog(log);
  for (const std::string& line : lines)
    LogLine(log, line);
}

bool RunAsService() {
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain},
                                  {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) != 0;
}

}  // namespace quorin::standins
