#include "client/local/download_worker.h"

#include "client/local/download_file.h"
#include "client/local/update_batch.h"
#include "client/local/update_names.h"

namespace quorin::client {
namespace {

// A server's text made fit to show: control characters would break the message's lines.
std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      c = '?';
  }
  return shown;
}

}  // namespace

std::string CheckUpdateOffer(const UpdateOffer& offer, const DownloadSetup& setup) {
  if (!IsWebAddress(offer.baseLocation))
    return setup.unsafeOfferText + " \"" + Printable(offer.baseLocation) + "\"";
  std::vector<std::string> names;
  for (const UpdateFile& file : offer.files) {
    if (CheckUpdateFileName(file.name) != UpdateNameProblem::kNone)
      return setup.unsafeOfferText + " \"" + Printable(file.name) + "\"";
    names.push_back(file.name);
  }
  const EncodedUpdateBatch batch = EncodeUpdateBatch(setup.paths, names, setup.batchEncoder);
  if (!batch.unwritable.empty())
    return setup.unsafeOfferText + " \"" + Printable(batch.unwritable) + "\"";
  return {};
}

void DownloadWorker(const std::shared_ptr<UpdateJob>& job, const DownloadSetup& setup,
                    platform::StopToken stop) {
  UpdateOffer offer;
  std::string message;
  if (!setup.fetchOffer(offer, message, stop)) {
    job->Finish(message.empty() ? setup.requestFailedText : message);
    return;
  }
  if (offer.files.empty()) {
    job->Finish(setup.noFilesText);
    return;
  }
  // The whole offer is refused before a single byte is fetched.
  if (const std::string refusal = CheckUpdateOffer(offer, setup); !refusal.empty()) {
    job->Finish(refusal);
    return;
  }
  if (!job->Publish(offer))
    return;

  platform::HttpClient& http = setup.http != nullptr ? *setup.http : platform::SystemHttpClient();
  const BlockGate gate = [&job](std::size_t size, const std::function<void()>& write) {
    return job->CountBlock(size, write);
  };
  for (const UpdateFile& file : offer.files) {
    if (stop.StopRequested() || job->GivenUp())
      return;
    DownloadRequest request;
    request.address = offer.baseLocation + "/" + file.name;
    request.localPath = PathBelow(setup.paths.temporaryDirectory, file.name, setup.separator);
    request.expectedSize = file.size;
    request.wrongSizeText = setup.wrongSizeText;
    const std::string result = DownloadFile(http, request, gate, stop);
    if (result != kDownloadSucceeded) {
      job->Finish(result);
      return;
    }
  }
  job->Finish({});
}

}  // namespace quorin::client
