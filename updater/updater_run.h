// One run of the updater, from its command line to its last record.
//
// In order: the notification block and event exist before this is called; the argument check
// (usage text otherwise); the product record from the key; the query URLs; up to three
// attempts of query, flag store, forced record, signal, download decision, download and MD5
// check; then the final record. The exit status of the program is 0 on every path; callers
// learn the outcome from the record, the staged file and the notification.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/http_client.h"
#include "platform/settings_store.h"
#include "updater/download.h"
#include "updater/query_urls.h"
#include "updater/shared_mem_int.h"
#include "updater/updater_log.h"

namespace quorin::updater {

// How many downloads a run tries before it gives up on a wrong checksum.
inline constexpr int kMaxAttempts = 3;

struct UpdaterServices {
  platform::SettingsStore& store;
  platform::HttpClient& http;
  QueryNotifier& notifier;
  UpdaterLog& log;
  std::string programFolder;  // with its trailing separator
  std::string agentName;      // the program's file name without extension
  UpdateServiceHosts hosts;
  std::function<std::string()> osVersionText;
  std::function<std::string()> hardwareId;
  std::function<void(const std::string& text)> showUsage;
  DownloadLimits downloadLimits;
};

enum class RunOutcome {
  Usage,               // wrong argument count: the usage text was shown
  NoProduct,           // no product key or no "ProductName"
  NotHttp,             // the primary query URL is not an http URL
  NoOffer,             // the query gave no CurrentVersion
  ForcedRecordFailed,  // the record before the download could not be written
  NotNeeded,           // the offer is not wanted
  DownloadFailed,      // the download reported a failure
  ChecksumFailed,      // three downloads, three wrong checksums
  FinalRecordFailed,   // downloaded and verified, but the record could not be written
  Done,                // downloaded, verified and recorded
  LogUnavailable,      // logging is on and the log could not be opened: ended at once
};

RunOutcome RunUpdater(const std::vector<std::string>& words, UpdaterServices& services);

}  // namespace quorin::updater
