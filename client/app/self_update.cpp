#include "client/app/self_update.h"

#include <shellapi.h>

#include <memory>
#include <system_error>

#include "client/app/message_dialog.h"
#include "client/controls/progress_window.h"
#include "client/framework/resource_module.h"
#include "client/local/folder_path.h"
#include "client/local/settings.h"
#include "client/local/update_batch.h"
#include "client/protocol/account_requests.h"
#include "client/protocol/request_environment.h"
#include "client/protocol/upgrade_info.h"
#include "client/record/client_context.h"
#include "client/texts/string_table.h"
#include "platform/directories.h"
#include "platform/program_path.h"
#include "platform/stoppable_thread.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

constexpr DWORD kListPollMs = 10;
constexpr DWORD kProgressPollMs = 50;

// Waits `ms` while the progress window keeps handling its messages, so that it repaints and
// notices a cancel. False once it was cancelled or the program is quitting.
bool PumpFor(CProgressWindow& progress, DWORD ms) {
  if (!progress.Pump())
    return false;
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  return progress.Pump();
}

void EndProcessAfterUpdate() {
  // Every request is stopped first, so the watchdog's threads end within moments.
  StopProcessRequests();
  GetClientContext().StopWatchdog();
  ::ExitProcess(0);
}

std::vector<std::string> FileNames(const UpdateOffer& offer) {
  std::vector<std::string> names;
  for (const UpdateFile& file : offer.files)
    names.push_back(file.name);
  return names;
}

}  // namespace

bool FetchOfferFromLoginServer(UpdateOffer& offer, std::string& message, platform::StopToken stop) {
  RequestEnvironment environment = ProcessRequestEnvironment();
  environment.stop = stop;
  UpgradeInfo info;
  if (!GetUpgradeInfo(environment, info, message))
    return false;
  offer.version = info.text1.str();
  offer.baseLocation = info.baseLocation.str();
  offer.files.clear();
  for (std::int32_t i = 0; i < info.count && i < static_cast<std::int32_t>(info.items.size());
       ++i) {
    offer.files.push_back({info.items[static_cast<std::size_t>(i)].name.str(),
                           info.items[static_cast<std::size_t>(i)].value});
  }
  return true;
}

bool StartBatchHidden(const std::string& batchPath) {
  const std::wstring path = platform::WideFromUtf8(batchPath);
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_HIDE));
  return result > 32;
}

void RunSelfUpdate(HWND mainWindow, const SelfUpdateSteps& steps) {
  CProgressWindow progress;
  progress.Create(mainWindow, LoadResourceText(text_id::kUpdateTitle));
  progress.SetText(LoadResourceText(text_id::kUpdateDownloading));
  progress.SetRange(0, 100);

  // Every path that the batch will hold is known now, so an offer whose batch could not be
  // written is refused before anything is fetched.
  UpdateBatchPaths paths;
  paths.programDirectory = platform::ProgramDirectory().value_or("");
  paths.programPath = platform::ProgramPath().value_or("");
  paths.temporaryDirectory = platform::TemporaryDirectory();
  paths.batchPath = paths.temporaryDirectory + std::string(kUpdateBatchName);
  DownloadSetup setup;
  setup.fetchOffer = steps.fetchOffer ? steps.fetchOffer : FetchOfferFromLoginServer;
  setup.http = steps.http;
  setup.paths = paths;
  setup.separator = '\\';
  setup.requestFailedText = LoadResourceText(text_id::kServerUnreachable);
  setup.noFilesText = LoadResourceText(text_id::kUpdateNoFiles);
  setup.wrongSizeText = LoadResourceText(text_id::kWrongFileSize);
  setup.unsafeOfferText = LoadResourceText(text_id::kUpdateRefused);

  // The job belongs to both threads; the worker is stopped and joined before this function
  // returns, and a job given up refuses the worker's writes in the meantime.
  const auto job = std::make_shared<UpdateJob>();
  platform::StoppableThread worker;
  try {
    worker = platform::StoppableThread(
        [job, setup](platform::StopToken stop) { DownloadWorker(job, setup, stop); });
  } catch (const std::system_error&) {
    progress.Close();
    ClientMessageBox(setup.requestFailedText, kMessageOk, false, {}, 0, mainWindow);
    return;
  }

  auto giveUp = [&](bool tellUser) {
    // Even a worker that has just finished is given up now: the user said no.
    const std::string message = LoadResourceText(text_id::kUpdateCancelled);
    job->GiveUp(message);
    worker.RequestStop();
    progress.Close();
    worker = platform::StoppableThread();
    if (tellUser)
      ClientMessageBox(message, kMessageOk, false, {}, 0, mainWindow);
  };

  // Until the worker knows the files (or has failed).
  UpdateJob::Snapshot state = job->Read();
  while (state.count < 0 && !state.done) {
    if (!PumpFor(progress, kListPollMs)) {
      giveUp(progress.Cancelled());
      return;
    }
    state = job->Read();
  }
  while (!state.done) {
    progress.SetPos(ProgressPercent(state.bytesDone, state.totalBytes));
    if (!PumpFor(progress, kProgressPollMs)) {
      giveUp(progress.Cancelled());
      return;
    }
    state = job->Read();
  }
  progress.SetPos(ProgressPercent(state.bytesDone, state.totalBytes));
  worker = platform::StoppableThread();  // it has finished: joining takes no time
  if (!state.message.empty()) {
    progress.Close();
    ClientMessageBox(state.message, kMessageOk, false, {}, 0, mainWindow);
    return;
  }

  progress.Close();
  ClientMessageBox(LoadResourceText(text_id::kUpdateReady), kMessageOk, false, {}, 0, mainWindow);

  const UpdateOffer offer = job->Offer();
  // copy makes no folders: a file in a folder that the installation lacks would be lost.
  for (const UpdateFile& file : offer.files) {
    const std::string installed = PathBelow(paths.programDirectory, file.name);
    const std::string_view folder = ParentFolder(installed);
    if (folder.size() > paths.programDirectory.size())
      CreateDirectoryPath(folder);
  }
  // The version is recorded only once the batch runs: a batch that cannot be written or
  // started leaves the client as it was, and the update is offered again next time.
  const EncodedUpdateBatch batch = EncodeUpdateBatch(paths, FileNames(offer));
  if (!batch.unwritable.empty()) {
    ClientMessageBox(setup.unsafeOfferText + " \"" + batch.unwritable + "\"", kMessageOk, false, {},
                     0, mainWindow);
    return;
  }
  const bool started =
      WriteUpdateBatch(paths.batchPath, batch.bytes) &&
      (steps.startBatch ? steps.startBatch(paths.batchPath) : StartBatchHidden(paths.batchPath));
  if (!started) {
    // A batch left behind would install the files the next time anything ran it.
    ::DeleteFileW(platform::WideFromUtf8(paths.batchPath).c_str());
    ClientMessageBox(LoadResourceText(text_id::kUpdateBatchFailed) + " \"" + paths.batchPath + "\"",
                     kMessageOk, false, {}, 0, mainWindow);
    return;
  }
  ProcessSettings().SetCurrentVersion(offer.version);
  if (steps.removeTrayIcon)
    steps.removeTrayIcon();
  if (steps.endProcess)
    steps.endProcess();
  else
    EndProcessAfterUpdate();
}

}  // namespace quorin::client
