#include "updater/download.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/text_tools.h"
#include "platform/clock.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

constexpr int kStatusRangeNotSatisfiable = 416;

// The blocks go to the file as they arrive, gathered into writes of this size: one system call
// per 1024 bytes costs more than the transfer itself (and the C++ library writes blocks of
// 1024 bytes and more straight through, past its own buffer).
constexpr std::size_t kWriteGather = 256 * 1024;

// The staged file, appended to in gathered writes.
class StagedFileWriter {
 public:
  explicit StagedFileWriter(const std::filesystem::path& path) : path_(path) {
    file_.open(path_, std::ios::binary | std::ios::app);
    pending_.reserve(kWriteGather);
  }
  // Whatever arrived reaches the file, also on an early return: the next run resumes from it.
  ~StagedFileWriter() {
    if (!pending_.empty())
      Flush();
  }
  StagedFileWriter(const StagedFileWriter&) = delete;
  StagedFileWriter& operator=(const StagedFileWriter&) = delete;

  explicit operator bool() const { return static_cast<bool>(file_); }

  // Drops the file's content: the next bytes start it afresh.
  bool Restart() {
    pending_.clear();
    file_.close();
    file_.open(path_, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file_);
  }
  bool Append(const char* bytes, std::size_t size) {
    pending_.insert(pending_.end(), bytes, bytes + size);
    return pending_.size() < kWriteGather || Flush();
  }
  bool Flush() {
    if (!pending_.empty())
      file_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    pending_.clear();
    file_.flush();
    return static_cast<bool>(file_);
  }
  bool Close() {
    const bool flushed = Flush();
    file_.close();
    return flushed && static_cast<bool>(file_);
  }
  // Closes and deletes the file: what it holds is no part of a real offer.
  void Discard() {
    pending_.clear();
    file_.close();
    std::error_code error;
    std::filesystem::remove(path_, error);
  }

 private:
  std::filesystem::path path_;
  std::ofstream file_;
  std::vector<char> pending_;
};

std::uint64_t ExistingSize(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return 0;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace

std::optional<UrlParts> SplitUrl(std::string_view url) {
  const std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos || schemeEnd == 0)
    return std::nullopt;
  UrlParts parts;
  parts.scheme = std::string(url.substr(0, schemeEnd));
  for (const char c : parts.scheme) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !other)
      return std::nullopt;
  }
  const std::string_view rest = url.substr(schemeEnd + 3);
  const std::size_t authorityEnd = rest.find_first_of("/?#");
  const std::string_view authority = rest.substr(0, authorityEnd);
  const std::size_t colon = authority.rfind(':');
  parts.host = std::string(authority.substr(0, colon));
  if (parts.host.empty())
    return std::nullopt;
  if (colon != std::string_view::npos) {
    const std::string_view port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5)
      return std::nullopt;
    unsigned value = 0;
    for (const char c : port) {
      if (c < '0' || c > '9')
        return std::nullopt;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
      return std::nullopt;
    parts.port = static_cast<std::uint16_t>(value);
  }
  parts.object =
      authorityEnd == std::string_view::npos ? "/" : std::string(rest.substr(authorityEnd));
  if (parts.object.front() != '/')
    parts.object.insert(0, "/");
  return parts;
}

std::string DownloadHeaders(std::uint64_t existingBytes) {
  std::string headers =
      "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";
  if (existingBytes > 0) {
    headers += "Connection:Keep-Alive\r\nRange: bytes=";
    headers += std::to_string(existingBytes);
    headers += "-\r\n";
  }
  return headers;
}

std::string GetNewVersionFromNetwork(platform::HttpClient& http, const std::string& url,
                                     const std::string& stagedPath, std::string_view agentName,
                                     const DownloadLimits& limits) {
  const std::filesystem::path path = PathFromUtf8(stagedPath);
  const std::uint64_t existing = ExistingSize(path);
  StagedFileWriter file(path);
  if (!file)
    return std::string(kDownloadFailed);

  const auto parts = SplitUrl(url);
  if (!parts)
    return std::string(kDownloadFailed);
  if (!EqualsIgnoreCase(parts->scheme, "http") && !EqualsIgnoreCase(parts->scheme, "https")) {
    return std::string(kNotHttpDownload);
  }
  if (existing > limits.maxFileBytes) {
    file.Discard();
    return std::string(kDownloadFailed);
  }

  platform::HttpRequest request;
  request.url = url;
  request.userAgent = std::string(agentName);
  request.extraHeaders = DownloadHeaders(existing);
  request.openTimeout = kDownloadOpenTimeout;
  request.readTimeout = limits.silence;
  const auto response = http.Open(request);
  if (!response)
    return std::string(kDownloadFailed);

  const int status = response->Status();
  const bool resumed = existing > 0;
  // Nothing left to send: the staged file may already be whole; the checksum decides.
  if (resumed && status == kStatusRangeNotSatisfiable)
    return std::string(kDownloadSucceeded);
  if (status / 100 != 2)
    return std::string(kDownloadFailed);
  // The bytes the file holds before this body's first byte.
  std::uint64_t kept = existing;
  if (resumed && status == 200) {
    // The server ignored the range and sends the whole file: start the file afresh instead of
    // appending a second copy.
    if (!file.Restart())
      return std::string(kDownloadFailed);
    kept = 0;
  }

  const std::optional<std::int64_t> announced = response->ContentLength();
  if (announced && static_cast<std::uint64_t>(*announced) > limits.maxFileBytes - kept) {
    file.Discard();
    return std::string(kDownloadFailed);
  }
  platform::Clock& clock = platform::CurrentClock();
  std::int64_t received = 0;
  char block[kDownloadBlock];
  while (!announced || received < *announced) {
    std::size_t want = sizeof block;
    if (announced && static_cast<std::uint64_t>(*announced - received) < want) {
      want = static_cast<std::size_t>(*announced - received);
    }
    const std::int64_t readStart = clock.NowMs();
    const std::ptrdiff_t got = response->Read(block, want);
    // A read that waited longer than the silence limit ends the transfer also when the HTTP
    // layer did not end it itself (some stacks ignore their read time-out).
    if (got < 0 || clock.NowMs() - readStart > limits.silence.count()) {
      file.Close();  // what arrived in time stays for the next resume
      return std::string(kDownloadFailed);
    }
    if (got == 0)
      break;
    const std::uint64_t room = limits.maxFileBytes - kept - static_cast<std::uint64_t>(received);
    if (static_cast<std::uint64_t>(got) > room) {
      file.Discard();  // a server that never stops sending: free the disk again
      return std::string(kDownloadFailed);
    }
    if (!file.Append(block, static_cast<std::size_t>(got)))
      return std::string(kDownloadFailed);
    received += got;
  }
  if (!file.Close())
    return std::string(kDownloadFailed);
  return std::string(kDownloadSucceeded);
}

}  // namespace quorin::updater
