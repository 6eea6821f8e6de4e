// One file of a self-update: fetched over HTTP into a local file in blocks, each block
// reported as it is written, so that the progress window can follow and a cancel can stop the
// copy between two blocks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/http_client.h"
#include "platform/stop_token.h"

namespace quorin::client {

// DownloadFile's answer when the file arrived whole.
inline constexpr std::string_view kDownloadSucceeded = "YES";
// Its answer after a stop: nobody shows it, the job has been given up.
inline constexpr std::string_view kDownloadStopped = "stopped";

// The largest block copied from the transfer into the file at a time.
inline constexpr std::size_t kDownloadBlockSize = 512;

struct DownloadRequest {
  std::string address;             // http:// or https:// address of the file
  std::string localPath;           // where the file is written (replacing an old one)
  std::int32_t expectedSize = -1;  // the listed length, or -1 for "not checked"
  std::string wrongSizeText;       // the answer when the length differs from the listed one
  std::chrono::milliseconds openTimeout{15000};
  std::chrono::milliseconds readTimeout{30000};
};

// Lets one block of `size` bytes be written: runs `write` (which writes the block into the
// file) and counts the block, or, when the job that wanted the file has been given up, does
// neither and returns false, which stops the copy at once. Running the write inside the gate
// lets the job make "given up" and "written" exclude each other.
using BlockGate = std::function<bool(std::size_t size, const std::function<void()>& write)>;

// Fetches the file: kDownloadSucceeded, or the text to show the user. Missing folders above
// the local file are made first. A transfer that ends before the listed length, or goes on
// past it, answers `wrongSizeText`. After a stop request (or a false from `blockWritten`) the
// file is closed at once and never written again; the answer is then of no interest.
std::string DownloadFile(platform::HttpClient& http, const DownloadRequest& request,
                         const BlockGate& gate, platform::StopToken stop = {});

}  // namespace quorin::client
