// Downloading an offered file into the staging folder, resuming a partial file.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/http_client.h"

namespace quorin::updater {

// The outcome texts ("download succeeded", "download failed", "the service type is not an HTTP
// download"); callers compare with them and log them as they are.
inline constexpr std::string_view kDownloadSucceeded = "下载成功";
inline constexpr std::string_view kDownloadFailed = "下载失败";
inline constexpr std::string_view kNotHttpDownload = "服务类型不是HTTP下载";

// The body is read and written in blocks of this size.
inline constexpr std::size_t kDownloadBlock = 1024;
// The answer's headers must arrive within this time.
inline constexpr std::chrono::milliseconds kDownloadOpenTimeout{30000};
// A transfer in which no byte arrives for this long has stalled.
inline constexpr std::chrono::milliseconds kDownloadSilenceLimit{60000};
// The largest staged file: far above any installer the service offers (a few MiB), so that
// only a server that never stops sending reaches it. Bytes kept from an earlier run count.
inline constexpr std::uint64_t kMaxStagedFileBytes = std::uint64_t{1} << 30;  // 1 GiB

// What ends a transfer that a server drags out or never ends. Tests make both small.
struct DownloadLimits {
  std::chrono::milliseconds silence = kDownloadSilenceLimit;
  std::uint64_t maxFileBytes = kMaxStagedFileBytes;
};

// A URL split into its parts.
struct UrlParts {
  std::string scheme;  // as written, without "://"
  std::string host;
  std::uint16_t port = 0;  // 0: the scheme's default
  std::string object;      // path and query, "/" when the URL has none
};

// Nothing for a text that is not "scheme://host[:port][/object]" with a non-empty host and a
// port from 1 to 65535.
std::optional<UrlParts> SplitUrl(std::string_view url);

// The header lines of a transfer: Accept and User-Agent always, and for a staged file that
// already holds `existingBytes` > 0 bytes the keep-alive and range lines that resume it.
std::string DownloadHeaders(std::uint64_t existingBytes);

// Fetches `url` into the staged file at `stagedPath`, appending to what an earlier transfer
// left there. Returns one of the three outcome texts:
//  - kNotHttpDownload when the URL's scheme is neither http nor https (nothing is requested);
//  - kDownloadFailed when the URL cannot be split, the file cannot be opened or written, no
//    answer came, the transfer broke off, no byte arrived for `limits.silence`, or the status
//    is not 2xx (bytes already written stay for the next resume); and when the staged file
//    would grow beyond `limits.maxFileBytes` (announced or as the bytes arrive: the file is then
//    deleted, since no real offer is that large, and nothing beyond the limit is written);
//  - kDownloadSucceeded otherwise. A resumed request answered with 416 (nothing left to send)
//    writes nothing; one answered with 200 (the server ignored the range) replaces the file's
//    content with the whole body. The body is read up to the length the server announced.
// The silence is measured on platform::CurrentClock() around every read, so that it holds also
// where the HTTP layer does not apply its read time-out.
std::string GetNewVersionFromNetwork(platform::HttpClient& http, const std::string& url,
                                     const std::string& stagedPath, std::string_view agentName,
                                     const DownloadLimits& limits = {});

}  // namespace quorin::updater
