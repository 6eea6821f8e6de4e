#include "updater/updater_run.h"

#include "common/text_tools.h"
#include "updater/command_line.h"
#include "updater/download.h"
#include "updater/md5_check.h"
#include "updater/product_info.h"
#include "updater/staging.h"
#include "updater/utf8_path.h"
#include "updater/version_decision.h"
#include "updater/version_query.h"
#include "updater/version_record.h"

namespace quorin::updater {

RunOutcome RunUpdater(const std::vector<std::string>& words, UpdaterServices& services) {
  const auto arguments = ParseUpdaterArguments(words);
  if (!arguments) {
    services.showUsage(UsageText(words.empty() ? std::string() : words.front()));
    return RunOutcome::Usage;
  }
  // The system version and the hardware identifier are worked out before the key is read.
  std::string osVersionText = services.osVersionText();
  std::string hardwareId = services.hardwareId();
  const ProductInfo info =
      ReadProductInfo(services.store, arguments->rootNumber, arguments->keyPath,
                      std::move(osVersionText), std::move(hardwareId));
  if (info.productName.empty())
    return RunOutcome::NoProduct;

  const QueryUrls urls =
      ChooseQueryUrls(ReadAutoUpdateUrl(services.store, arguments->rootNumber, arguments->keyPath),
                      services.hosts, info);
  if (!StartsWithIgnoreCase(urls.primary, "http://"))
    return RunOutcome::NotHttp;

  const char separator = services.programFolder.empty() ? '/' : services.programFolder.back();
  const std::string stagingFolder = StagingFolderPath(services.programFolder);
  UpdaterLog& log = services.log;
  VersionOffer offer;
  std::string stagedPath;
  for (int attempt = 1;; ++attempt) {
    offer = QueryVersionWithFallback(services.http, urls.primary, urls.secondary);
    services.notifier.StoreQueryDone();
    if (offer.currentVersion.empty()) {
      services.notifier.Signal();
      return RunOutcome::NoOffer;
    }
    PrepareStagingFolder(stagingFolder);
    const auto name = StagedFileName(offer.url);
    stagedPath = name ? StagedFilePath(stagingFolder, separator, *name) : std::string();

    // A name that could lead outside the staging folder is never recorded or written to.
    if (name && offer.forceUpdate == "true" &&
        !WriteInfoToRegistry(services.store, arguments->keyPath, offer, stagedPath)) {
      if (!log.Write("WriteInfoToRegistry failed!\n"))
        return RunOutcome::LogUnavailable;
      services.notifier.Signal();
      return RunOutcome::ForcedRecordFailed;
    }
    services.notifier.Signal();
    if (!NeedsDownload(offer, info, [](const std::string& path) { return PathExists(path); })) {
      return RunOutcome::NotNeeded;
    }

    const std::string result =
        name ? GetNewVersionFromNetwork(services.http, offer.url, stagedPath, services.agentName,
                                        services.downloadLimits)
             : std::string(kDownloadFailed);
    if (result != kDownloadSucceeded) {
      if (!log.Write("GetNewVersionFromNetwork failed:" + result + "\n")) {
        return RunOutcome::LogUnavailable;
      }
      return RunOutcome::DownloadFailed;
    }
    if (CheckMD5(stagedPath, offer.checkSum))
      break;
    if (!log.Write("CheckMD5 failed for: \"" + stagedPath + "\", try to download again!\n")) {
      return RunOutcome::LogUnavailable;
    }
    if (attempt >= kMaxAttempts) {
      log.Write(
          "The file is downloaded for 3 times, and the checksum is still wrong, please check "
          "network!\n");
      return RunOutcome::ChecksumFailed;
    }
  }

  if (!log.Write("File \"" + stagedPath + "\" download successfully!\n")) {
    return RunOutcome::LogUnavailable;
  }
  if (!WriteInfoToRegistry(services.store, arguments->keyPath, offer, stagedPath)) {
    log.Write("WriteInfoToRegistry failed!\n");
    return RunOutcome::FinalRecordFailed;
  }
  return RunOutcome::Done;
}

}  // namespace quorin::updater
