#include "updater/version_decision.h"

namespace quorin::updater {
namespace {

std::string WithoutDots(std::string_view text) {
  std::string result;
  for (const char c : text) {
    if (c != '.')
      result += c;
  }
  return result;
}

}  // namespace

bool IsNewerVersion(std::string_view a, std::string_view b) {
  // std::string compares its bytes as unsigned values, as strcmp does.
  return WithoutDots(a).compare(WithoutDots(b)) > 0;
}

bool NeedsDownload(const VersionOffer& offer, const ProductInfo& info,
                   const std::function<bool(const std::string&)>& exists) {
  if (offer.strictVersion == "true" && offer.currentVersion != info.version) {
    // A strict offer is wanted whenever it differs from what is installed, older or not,
    // unless that very version already lies staged.
    if (info.newVersionNumber != offer.currentVersion)
      return true;
    if (!exists(info.newVersionFile))
      return true;
  }
  if (!IsNewerVersion(offer.currentVersion, info.version))
    return false;
  if (info.newVersionNumber.empty())
    return true;
  if (IsNewerVersion(offer.currentVersion, info.newVersionNumber))
    return true;
  return !exists(info.newVersionFile);
}

}  // namespace quorin::updater
