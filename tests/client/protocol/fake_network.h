// Fakes of the socket layer and the HTTP stack for the protocol's unit tests: every connect,
// every byte sent and every request is recorded, and servers answer from a script.
#pragma once

#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/ipv4.h"
#include "platform/http_client.h"
#include "platform/tcp_connection.h"

namespace quorin::client::testing {

// What one accepted connection does.
struct ConnectionScript {
  std::size_t sendChunk = 0;            // bytes taken per send call; 0 takes all
  bool sendFails = false;               // every send fails
  std::vector<std::string> replyParts;  // handed out one per receive call
  bool closeAfterReply = true;          // then report the peer's close; else time out
};

struct FakeConnectionLog {
  std::string sent;
  std::size_t sendCalls = 0;
  std::size_t receiveCalls = 0;
};

class FakeConnection : public platform::TcpConnection {
 public:
  FakeConnection(ConnectionScript script, std::shared_ptr<FakeConnectionLog> log)
      : script_(std::move(script)), log_(std::move(log)) {
    for (auto& part : script_.replyParts)
      parts_.push_back(part);
  }

  std::ptrdiff_t SendSome(std::string_view data, std::chrono::milliseconds) override {
    ++log_->sendCalls;
    if (script_.sendFails)
      return kFailed;
    const std::size_t take =
        script_.sendChunk == 0 ? data.size() : std::min(script_.sendChunk, data.size());
    log_->sent.append(data.substr(0, take));
    return static_cast<std::ptrdiff_t>(take);
  }

  std::ptrdiff_t ReceiveSome(char* buffer, std::size_t size,
                             std::chrono::milliseconds timeout) override {
    ++log_->receiveCalls;
    if (parts_.empty()) {
      if (script_.closeAfterReply)
        return 0;
      std::this_thread::sleep_for(timeout);  // a silent peer: nothing comes within the wait
      return kTimedOut;
    }
    std::string& part = parts_.front();
    const std::size_t count = std::min(size, part.size());
    std::memcpy(buffer, part.data(), count);
    part.erase(0, count);
    if (part.empty())
      parts_.pop_front();
    return static_cast<std::ptrdiff_t>(count);
  }

 private:
  ConnectionScript script_;
  std::deque<std::string> parts_;
  std::shared_ptr<FakeConnectionLog> log_;
};

struct ConnectAttempt {
  std::string address;
  std::uint16_t port = 0;
  std::chrono::milliseconds timeout{0};
};

// Hosts resolve through a table (dotted texts parse as they are); an address listed as
// reachable accepts connections and plays the next script queued for it.
class FakeConnector : public platform::TcpConnector {
 public:
  std::optional<Ipv4Address> Resolve(std::string_view host, platform::StopToken) override {
    resolved.emplace_back(host);
    if (const auto it = names.find(std::string(host)); it != names.end()) {
      return ParseInetAddr(it->second);
    }
    return ParseInetAddr(host);
  }

  std::unique_ptr<platform::TcpConnection> Connect(const Ipv4Address& address, std::uint16_t port,
                                                   std::chrono::milliseconds timeout,
                                                   platform::StopToken) override {
    const std::string text = FormatIpv4(address);
    attempts.push_back(ConnectAttempt{text, port, timeout});
    auto it = reachable.find(text);
    if (it == reachable.end())
      return nullptr;
    ConnectionScript script;
    if (!it->second.empty()) {
      script = it->second.front();
      if (it->second.size() > 1)
        it->second.pop_front();
    }
    auto log = std::make_shared<FakeConnectionLog>();
    logs.push_back(log);
    return std::make_unique<FakeConnection>(std::move(script), log);
  }

  // Makes `address` accept connections, each answering with `reply` and closing.
  void Serve(const std::string& address, std::string reply) {
    ConnectionScript script;
    script.replyParts = {std::move(reply)};
    reachable[address] = {script};
  }

  std::map<std::string, std::string> names;
  std::map<std::string, std::deque<ConnectionScript>> reachable;
  std::vector<std::string> resolved;
  std::vector<ConnectAttempt> attempts;
  std::vector<std::shared_ptr<FakeConnectionLog>> logs;
};

// An HTTP response with a fixed status and body, read in pieces.
class FakeHttpResponse : public platform::HttpResponse {
 public:
  FakeHttpResponse(int status, std::string body, std::size_t piece, bool breaksOff,
                   std::optional<std::int64_t> announced)
      : status_(status),
        body_(std::move(body)),
        piece_(piece),
        breaksOff_(breaksOff),
        announced_(announced) {}
  int Status() const override { return status_; }
  std::optional<std::int64_t> ContentLength() const override { return announced_; }
  std::ptrdiff_t Read(void* buffer, std::size_t size) override {
    if (offset_ >= body_.size())
      return breaksOff_ ? -1 : 0;
    const std::size_t count = std::min({size, piece_, body_.size() - offset_});
    std::memcpy(buffer, body_.data() + offset_, count);
    offset_ += count;
    return static_cast<std::ptrdiff_t>(count);
  }

 private:
  int status_;
  std::string body_;
  std::size_t piece_;
  bool breaksOff_;
  std::optional<std::int64_t> announced_;
  std::size_t offset_ = 0;
};

struct FakeAnswer {
  FakeAnswer() = default;
  FakeAnswer(int statusIn, std::string bodyIn, bool noAnswerIn = false)
      : status(statusIn), body(std::move(bodyIn)), noAnswer(noAnswerIn) {}

  int status = 200;
  std::string body;
  bool noAnswer = false;                  // Open gives nothing (refused, timed out)
  std::chrono::milliseconds delay{0};     // Open returns only after this long
  std::size_t piece = 7;                  // bytes per Read
  bool breaksOff = false;                 // the body ends in a read error
  std::optional<std::int64_t> announced;  // Content-Length
};

// Answers by URL prefix ("http://host:port"); unknown servers give no answer.
class FakeHttpClient : public platform::HttpClient {
 public:
  std::unique_ptr<platform::HttpResponse> Open(const platform::HttpRequest& request,
                                               platform::StopToken) override {
    requests.push_back(request);
    for (const auto& [prefix, answer] : answers) {
      if (request.url.rfind(prefix, 0) != 0)
        continue;
      if (answer.delay.count() > 0)
        std::this_thread::sleep_for(answer.delay);
      if (answer.noAnswer)
        return nullptr;
      return std::make_unique<FakeHttpResponse>(answer.status, answer.body, answer.piece,
                                                answer.breaksOff, answer.announced);
    }
    return nullptr;
  }

  std::map<std::string, FakeAnswer> answers;
  std::vector<platform::HttpRequest> requests;
};

}  // namespace quorin::client::testing
