// The update service's answer: what it offers for the product.
#pragma once

#include <string>

namespace quorin::updater {

struct VersionOffer {
  std::string currentVersion;  // the version offered; empty: nothing is offered
  std::string url;             // where the file is downloaded (absolute after resolution)
  std::string checkSum;        // MD5 digest text of the file
  std::string description;     // free text, recorded for the auto-update component
  std::string forceUpdate;     // "true": record the offer before downloading
  std::string strictVersion;   // "true": any other version than the installed one is wanted

  bool operator==(const VersionOffer&) const = default;
};

}  // namespace quorin::updater
