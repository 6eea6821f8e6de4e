#include "client/protocol/fetch_url.h"

#include <array>
#include <chrono>
#include <cstdio>

#include "platform/stdio_file.h"

namespace quorin::client {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads the whole body; false when a read fails or the body grows past `limit`.
bool ReadBody(platform::HttpResponse& response, std::string& body, std::size_t limit) {
  std::array<char, 4096> buffer{};
  while (true) {
    const std::ptrdiff_t got = response.Read(buffer.data(), buffer.size());
    if (got == 0)
      return true;
    if (got < 0)
      return false;
    body.append(buffer.data(), static_cast<std::size_t>(got));
    if (body.size() > limit)
      return false;
  }
}

bool SaveBody(platform::HttpResponse& response, const std::string& path) {
  platform::StdioFile file = platform::OpenStdioFile(path, "wb");
  if (!file)
    return false;
  std::array<char, 4096> buffer{};
  std::int64_t total = 0;
  bool complete = false;
  while (true) {
    const std::ptrdiff_t got = response.Read(buffer.data(), buffer.size());
    if (got < 0)
      break;
    if (got == 0) {
      complete = true;
      break;
    }
    const auto count = static_cast<std::size_t>(got);
    if (std::fwrite(buffer.data(), 1, count, file.get()) != count)
      break;
    total += got;
  }
  // A body shorter than the server announced broke off on the way.
  if (complete && response.ContentLength() && *response.ContentLength() != total) {
    complete = false;
  }
  const bool closed = std::fclose(file.release()) == 0;
  if (!complete || !closed) {
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string FetchHeaderLines(std::string_view hostHeader) {
  std::string name;
  for (const char c : hostHeader) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      break;
    name += c;
  }
  if (name.empty())
    return std::string();
  return std::string(kFetchAcceptAndAgentLines) + "Host:   " + name + "\r\n";
}

std::string NormaliseFetchedText(std::string_view body) {
  std::string text;
  text.reserve(body.size() + 16);
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find('\n', start);
    const bool lastLine = end == std::string_view::npos;
    if (lastLine)
      end = body.size();
    std::string_view line = body.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    text.append(line).append("\r\n");
    start = end + 1;
  }
  std::size_t first = 0;
  while (first < text.size() && IsWhiteSpace(text[first]))
    ++first;
  std::size_t last = text.size();
  while (last > first && IsWhiteSpace(text[last - 1]))
    --last;
  return text.substr(first, last - first);
}

std::string FetchUrl(std::string_view url, std::uint32_t timeoutMs, std::string_view hostHeader,
                     std::string_view saveAs, platform::HttpClient& http,
                     platform::StopToken stop) {
  if (url.empty())
    return std::string();
  platform::HttpRequest request;
  request.url = std::string(url);
  request.userAgent = std::string(kFetchAgent);
  request.extraHeaders = FetchHeaderLines(hostHeader);
  request.openTimeout = std::chrono::milliseconds(timeoutMs);
  request.readTimeout = std::chrono::milliseconds(timeoutMs);
  request.totalTimeout = std::chrono::milliseconds(timeoutMs);

  const auto started = std::chrono::steady_clock::now();
  std::unique_ptr<platform::HttpResponse> response = http.Open(request, stop);
  if (!response)
    return std::string();
  // The stack keeps to the time-out; an answer that still arrived after it is not used.
  if (std::chrono::steady_clock::now() - started > request.openTimeout + std::chrono::seconds(1)) {
    return std::string();
  }
  if (response->Status() != 200)
    return std::string();

  if (!saveAs.empty()) {
    const std::string path(saveAs);
    return SaveBody(*response, path) ? path : std::string();
  }
  std::string body;
  if (!ReadBody(*response, body, kMaxFetchTextBytes))
    return std::string();
  return NormaliseFetchedText(body);
}

}  // namespace quorin::client
