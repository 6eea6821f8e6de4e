#include "updater/os_version_text.h"

namespace quorin::updater {

std::string FormatOsVersionText(const std::optional<platform::OsVersion>& version) {
  if (!version)
    return std::string();
  return std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
         std::to_string(version->build) + "_" + std::to_string(version->servicePackMajor) + "." +
         std::to_string(version->servicePackMinor);
}

}  // namespace quorin::updater
