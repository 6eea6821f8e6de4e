#include "updater/updater_program.h"

#include "platform/adapters.h"
#include "platform/clock.h"
#include "platform/debug_log_files.h"
#include "platform/disk_probe.h"
#include "platform/named_signal.h"
#include "platform/os_version.h"
#include "platform/program_folder.h"
#include "platform/program_path.h"
#include "updater/hardware_id.h"
#include "updater/os_version_text.h"

namespace quorin::updater {

std::string ProgramBaseName(const std::string& programPath, char separator) {
  const std::size_t folderEnd = programPath.rfind(separator);
  std::string name =
      folderEnd == std::string::npos ? programPath : programPath.substr(folderEnd + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0)
    name.resize(dot);
  return name;
}

RunOutcome RunUpdaterProgram(const std::vector<std::string>& words,
                             const std::function<void(const std::string&)>& showUsage) {
  const std::string folder = platform::ProgramFolder().value_or(std::string());
  // The very first action, before the arguments are looked at: a waiter may already be there.
  SharedMemInt notifier(NotifyBaseName(platform::PathBytesForNames(folder)),
                        platform::CurrentSessionNumber());

  const platform::DebugLogFiles logFiles = platform::UpdaterDebugLogFiles();
  UpdaterLog log(logFiles.marker, logFiles.log, platform::CurrentClock());
  UpdaterServices services{
      platform::SystemSettingsStore(),
      platform::SystemHttpClient(),
      notifier,
      log,
      folder,
      ProgramBaseName(platform::ProgramPath().value_or(std::string()), platform::PathSeparator()),
      ReadUpdateServiceHosts(folder.empty() ? std::string() : folder + std::string(kHostsIniName)),
      [] { return FormatOsVersionText(platform::QueryOsVersion()); },
      [] {
        return ComputeHardwareId(platform::SystemDiskProbe(), platform::ListNetworkAdapters());
      },
      showUsage,
      DownloadLimits{},
  };
  return RunUpdater(words, services);
}

}  // namespace quorin::updater
