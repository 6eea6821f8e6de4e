// An HTTP stack that answers from a script, for tests of the updater's query and download.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/http_client.h"

namespace quorin::updater::testing {

struct FakeReply {
  bool answered = true;  // false: Open gives nothing (no answer in time, network error)
  int status = 200;
  std::string body;
  std::optional<std::int64_t> contentLength;  // announced length, if any
  std::size_t chunk = 1 << 20;                // most bytes one read returns
  std::optional<std::size_t> failAt;          // a read at this body offset fails
  std::function<void()> onRead;               // called as every read begins (to move a clock)
};

class FakeHttpClient : public platform::HttpClient {
 public:
  // Replies are handed out in order; once they run out, requests get no answer.
  void Add(FakeReply reply) { replies_.push_back(std::move(reply)); }

  std::unique_ptr<platform::HttpResponse> Open(const platform::HttpRequest& request,
                                               platform::StopToken) override {
    requests.push_back(request);
    if (replies_.empty())
      return nullptr;
    FakeReply reply = std::move(replies_.front());
    replies_.pop_front();
    if (!reply.answered)
      return nullptr;
    return std::make_unique<Response>(std::move(reply), readSizes);
  }

  std::vector<platform::HttpRequest> requests;
  std::vector<std::size_t> readSizes;  // the size of every Read call, in order
  std::size_t RemainingReplies() const { return replies_.size(); }

 private:
  class Response : public platform::HttpResponse {
   public:
    Response(FakeReply reply, std::vector<std::size_t>& readSizes)
        : reply_(std::move(reply)), readSizes_(readSizes) {}
    int Status() const override { return reply_.status; }
    std::optional<std::int64_t> ContentLength() const override { return reply_.contentLength; }
    std::ptrdiff_t Read(void* buffer, std::size_t size) override {
      readSizes_.push_back(size);
      if (reply_.onRead)
        reply_.onRead();
      if (reply_.failAt && at_ >= *reply_.failAt)
        return -1;
      std::size_t take = std::min({size, reply_.chunk, reply_.body.size() - at_});
      if (reply_.failAt)
        take = std::min(take, *reply_.failAt - at_);
      std::memcpy(buffer, reply_.body.data() + at_, take);
      at_ += take;
      return static_cast<std::ptrdiff_t>(take);
    }

   private:
    FakeReply reply_;
    std::vector<std::size_t>& readSizes_;
    std::size_t at_ = 0;
  };

  std::deque<FakeReply> replies_;
};

}  // namespace quorin::updater::testing
