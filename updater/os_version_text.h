// The system version text of the version query: "major.minor.build_spmajor.spminor".
#pragma once

#include <optional>
#include <string>

#include "platform/os_version.h"

namespace quorin::updater {

// Empty when the system would not tell its version.
std::string FormatOsVersionText(const std::optional<platform::OsVersion>& version);

}  // namespace quorin::updater
