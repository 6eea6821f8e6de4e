// An ordered list of login servers tried in turn for one fetch until a reply passes a check.
// The server that answered stays first for the next fetch of the same rotation; a rotation is
// made afresh for every login attempt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http_client.h"
#include "platform/stop_token.h"

namespace quorin::client {

struct ServerEntry {
  std::string host;        // name or dotted address put into the URL
  std::uint16_t port = 0;  // port put into the URL
  std::string hostHeader;  // name for the "Host:" line; empty sends no extra header lines
};

// True for any non-empty reply.
bool ReplyNotEmpty(std::string_view reply);

class ServerRotation {
 public:
  using Check = std::function<bool(std::string_view reply)>;

  // A missing check means ReplyNotEmpty. `timeoutMs` bounds each server's whole exchange; a
  // stop request ends the fetch and asks no further server.
  ServerRotation(Check check, std::uint32_t timeoutMs,
                 platform::HttpClient& http = platform::SystemHttpClient(),
                 platform::StopToken stop = {});

  void AddServer(std::string_view host, std::uint16_t port, std::string_view hostHeader);

  // Fetch(path) is FetchToFile(path, "").
  std::string Fetch(std::string_view path);

  // Asks each server once, from the current one on, for "http://host:port" + path; returns
  // the first reply the check accepts, else the last reply (which the check refused). An
  // empty path or an empty list asks nobody and returns "".
  std::string FetchToFile(std::string_view path, std::string_view saveAs);

  // The host of the server asked last; "" when none was asked.
  std::string CurrentHost() const;
  // The server the next fetch asks first.
  std::size_t CurrentIndex() const { return current_; }
  std::size_t Size() const { return entries_.size(); }
  const ServerEntry& Entry(std::size_t index) const { return entries_.at(index); }

  // Forgets every server (and which one was asked last).
  void Clear();

 private:
  std::vector<ServerEntry> entries_;
  std::size_t current_ = 0;
  std::optional<std::size_t> lastTried_;
  Check check_;
  std::uint32_t timeoutMs_;
  platform::HttpClient& http_;
  platform::StopToken stop_;
};

}  // namespace quorin::client
