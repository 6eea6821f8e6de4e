// The self-update's download worker: asks for the offer of the new version, checks that every
// name and the base address are safe to use and that the update batch can be written with
// them, and fetches the files one after the other into
// the temporary directory, reporting through the UpdateJob it shares with the UI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "client/local/update_batch.h"
#include "client/local/update_job.h"
#include "platform/http_client.h"
#include "platform/stop_token.h"

namespace quorin::client {

// Asks the login server for the offer: true with `offer` filled, or false with the text to
// show in `message`. It must end soon after `stop` is requested.
using FetchUpdateOffer =
    std::function<bool(UpdateOffer& offer, std::string& message, platform::StopToken stop)>;

struct DownloadSetup {
  FetchUpdateOffer fetchOffer;
  platform::HttpClient* http = nullptr;  // the system's HTTP stack unless a test gives another
  UpdateBatchPaths paths;                // the files go below paths.temporaryDirectory
  BatchTextEncoder batchEncoder;         // how the batch is written; empty: the OEM code page
  char separator = '\\';                 // the system's path separator
  std::string requestFailedText;         // the offer could not be had and no reason was given
  std::string noFilesText;               // the offer lists no file
  std::string wrongSizeText;             // a file's length differs from its listed size
  std::string unsafeOfferText;           // a name, a folder or the base address cannot be used
};

// Why an offer must be refused, as the text to show (the setup's text, then the name, folder
// or address at fault, control characters shown as '?'); empty when it may be used. A name or
// folder that the batch's code page cannot write is refused too: the batch would copy nothing.
std::string CheckUpdateOffer(const UpdateOffer& offer, const DownloadSetup& setup);

// The thread's work. It ends with the job finished (success: empty message), or as soon as it
// notices that the job was given up or `stop` was requested.
void DownloadWorker(const std::shared_ptr<UpdateJob>& job, const DownloadSetup& setup,
                    platform::StopToken stop);

}  // namespace quorin::client
