#include "updater/version_query.h"

#include <algorithm>

#include "common/text_tools.h"

namespace quorin::updater {
namespace {

bool IsLeadingBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void ApplyReplyLine(std::string text, VersionOffer& offer) {
  const struct {
    std::string_view key;
    std::string VersionOffer::*field;
  } kKeys[] = {
      {"CurrentVersion", &VersionOffer::currentVersion},
      {"URL", &VersionOffer::url},
      {"CheckSum", &VersionOffer::checkSum},
      {"Description", &VersionOffer::description},
      {"ForceUpdate", &VersionOffer::forceUpdate},
      {"StrictVersion", &VersionOffer::strictVersion},
  };
  for (const auto& key : kKeys) {
    if (text.size() < key.key.size() || text.compare(0, key.key.size(), key.key) != 0)
      continue;
    // The key and the separator after it (normally '='), whatever it is.
    const std::size_t skip = key.key.size() + 1;
    text = skip < text.size() ? text.substr(skip) : std::string();
    std::size_t start = 0;
    while (start < text.size() && IsLeadingBlank(text[start]))
      ++start;
    text.erase(0, start);
    offer.*key.field = text;
  }
}

}  // namespace

VersionOffer ParseVersionReply(std::string_view body) {
  VersionOffer offer;
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = body.find('\n', start);
    if (end == std::string_view::npos)
      end = body.size();
    std::string line;
    for (const char c : body.substr(start, end - start)) {
      if (c != '\r')
        line += c;
    }
    ApplyReplyLine(std::move(line), offer);
    start = end + 1;
  }
  return offer;
}

VersionOffer QueryVersion(platform::HttpClient& http, const std::string& url) {
  if (url.empty())
    return VersionOffer();
  platform::HttpRequest request;
  request.url = url;
  request.userAgent = "HttpClient";
  request.openTimeout = kQueryOpenTimeout;
  request.readTimeout = kQueryReadTimeout;
  const auto response = http.Open(request);
  if (!response || response->Status() != 200)
    return VersionOffer();
  const auto deadline = std::chrono::steady_clock::now() + kQueryBodyDeadline;
  std::string body;
  char buffer[4096];
  while (body.size() < kMaxReplyBytes) {
    // A reply that breaks off (a read error, a cut connection, the deadline) is no answer:
    // its last line may be cut, and a cut URL or checksum would send the download astray.
    if (std::chrono::steady_clock::now() >= deadline)
      return VersionOffer();
    const std::size_t want = std::min(sizeof buffer, kMaxReplyBytes - body.size());
    const std::ptrdiff_t got = response->Read(buffer, want);
    if (got < 0)
      return VersionOffer();
    if (got == 0)
      break;
    body.append(buffer, static_cast<std::size_t>(got));
  }
  return ParseVersionReply(body);
}

std::string ResolveOfferUrl(std::string_view offerUrl, std::string_view primaryUrl) {
  if (StartsWithIgnoreCase(offerUrl, "http://"))
    return std::string(offerUrl);
  if (!offerUrl.empty() && offerUrl.front() == '/') {
    // After "http://": the start of the primary URL's path.
    const std::size_t path = primaryUrl.find('/', 7);
    if (path == std::string_view::npos)
      return std::string(offerUrl);
    return std::string(primaryUrl.substr(0, path)) + std::string(offerUrl);
  }
  const std::size_t last = primaryUrl.rfind('/');
  if (last == std::string_view::npos || last == 0)
    return std::string(offerUrl);
  return std::string(primaryUrl.substr(0, last + 1)) + std::string(offerUrl);
}

VersionOffer QueryVersionWithFallback(platform::HttpClient& http, const std::string& primaryUrl,
                                      const std::string& secondaryUrl) {
  VersionOffer offer = QueryVersion(http, primaryUrl);
  if (offer.url.empty() && offer.currentVersion.empty()) {
    offer = QueryVersion(http, secondaryUrl);
  }
  if (!offer.url.empty() && !offer.currentVersion.empty()) {
    offer.url = ResolveOfferUrl(offer.url, primaryUrl);
  }
  return offer;
}

}  // namespace quorin::updater
