// The client's self-update (menu command 32783): downloads the files of the new version with
// a progress window over the main window, writes the update batch, records the new version,
// starts the batch hidden and ends the process, which lets the batch replace the files and
// start the new client.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "client/local/download_worker.h"
#include "platform/http_client.h"

namespace quorin::client {

// The steps that reach outside the update itself. Empty members take the client's own way.
struct SelfUpdateSteps {
  // Asks the login server for the offer (GetUpgradeInfo with the process's record).
  FetchUpdateOffer fetchOffer;
  // The HTTP stack of the downloads.
  platform::HttpClient* http = nullptr;
  // Takes the client's icon out of the notification area. Empty: there is none to remove.
  std::function<void()> removeTrayIcon;
  // Starts the batch through the shell's open action with a hidden window; false when it
  // could not be started.
  std::function<bool(const std::string& batchPath)> startBatch;
  // Stops the watchdog and ends the process with exit code 0; it does not return.
  std::function<void()> endProcess;
};

// Runs the update on the calling (user-interface) thread. Returns only when the update was
// given up (cancelled, refused, failed), after telling the user why; on success the process
// ends.
void RunSelfUpdate(HWND mainWindow, const SelfUpdateSteps& steps = {});

// The offer as GetUpgradeInfo gives it, asked with a stop token of the caller's own.
bool FetchOfferFromLoginServer(UpdateOffer& offer, std::string& message, platform::StopToken stop);

// Starts a batch file through the shell's open action with a hidden window.
bool StartBatchHidden(const std::string& batchPath);

}  // namespace quorin::client
