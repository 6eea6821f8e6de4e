#include "client/protocol/server_rotation.h"

#include "client/protocol/fetch_url.h"

namespace quorin::client {

bool ReplyNotEmpty(std::string_view reply) {
  return !reply.empty();
}

ServerRotation::ServerRotation(Check check, std::uint32_t timeoutMs, platform::HttpClient& http,
                               platform::StopToken stop)
    : check_(check ? std::move(check) : Check(ReplyNotEmpty)),
      timeoutMs_(timeoutMs),
      http_(http),
      stop_(std::move(stop)) {}

void ServerRotation::AddServer(std::string_view host, std::uint16_t port,
                               std::string_view hostHeader) {
  entries_.push_back(ServerEntry{std::string(host), port, std::string(hostHeader)});
}

std::string ServerRotation::Fetch(std::string_view path) {
  return FetchToFile(path, "");
}

std::string ServerRotation::FetchToFile(std::string_view path, std::string_view saveAs) {
  if (path.empty())
    return std::string();
  std::string reply;
  for (std::size_t tries = 0; tries < entries_.size() && !stop_.StopRequested(); ++tries) {
    if (current_ >= entries_.size())
      current_ = 0;
    const ServerEntry& entry = entries_[current_];
    lastTried_ = current_;
    const std::string url =
        "http://" + entry.host + ":" + std::to_string(entry.port) + std::string(path);
    reply = FetchUrl(url, timeoutMs_, entry.hostHeader, saveAs, http_, stop_);
    if (check_(reply))
      return reply;
    current_ = (current_ + 1) % entries_.size();
  }
  return reply;
}

std::string ServerRotation::CurrentHost() const {
  if (!lastTried_ || *lastTried_ >= entries_.size())
    return std::string();
  return entries_[*lastTried_].host;
}

void ServerRotation::Clear() {
  entries_.clear();
  current_ = 0;
  lastTried_.reset();
}

}  // namespace quorin::client
