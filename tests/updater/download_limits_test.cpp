// The bounds of a download: a server that falls silent, trickles or never stops sending.
#include <gtest/gtest.h>

#include "fake_http_client.h"
#include "platform/clock.h"
#include "stream_server.h"
#include "temp_folder.h"
#include "updater/download.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

using namespace std::chrono_literals;
using testing::FakeHttpClient;
using testing::PatternBytes;
using testing::ReadWholeFile;
using testing::StreamServer;
using testing::WriteWholeFile;

class DownloadLimitsTest : public ::testing::Test {
 protected:
  std::string Download(const DownloadLimits& limits = {}) {
    return GetNewVersionFromNetwork(http_, "http://files.example/q.exe", staged_, "Brenwick",
                                    limits);
  }
  bool StagedExists() const { return std::filesystem::exists(PathFromUtf8(staged_)); }
  std::string Staged() const { return ReadWholeFile(PathFromUtf8(staged_)); }

  testing::TempFolder folder_;
  std::string staged_ = folder_.File("q.exe");
  FakeHttpClient http_;
  platform::ManualClock clock_;
  platform::ScopedClockOverride clockOverride_{clock_};
};

TEST_F(DownloadLimitsTest, EndsATransferThatFallsSilentForTooLong) {
  // Every read takes the whole minute the transfer may be silent: slow, but never stalled.
  http_.Add({.body = "0123456789", .chunk = 1, .onRead = [this] { clock_.Advance(60000); }});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(Staged(), "0123456789");
  EXPECT_EQ(http_.requests[0].readTimeout, kDownloadSilenceLimit)
      << "the HTTP layer ends a silent read itself where it can";

  // The fifth byte comes a millisecond too late, also where the HTTP layer let the read wait.
  std::filesystem::remove(PathFromUtf8(staged_));
  int reads = 0;
  http_.Add({.body = "0123456789", .chunk = 1, .onRead = [&] {
               clock_.Advance(++reads == 5 ? 60001 : 10);
             }});
  EXPECT_EQ(Download(), kDownloadFailed);
  EXPECT_EQ(Staged(), "0123") << "what arrived in time stays for the next resume";

  // The limit is the caller's.
  http_.Add({.status = 206, .body = "456789", .onRead = [this] { clock_.Advance(300); }});
  EXPECT_EQ(Download({.silence = 250ms}), kDownloadFailed);
  EXPECT_EQ(http_.requests.back().readTimeout, 250ms);
  EXPECT_EQ(Staged(), "0123");
}

TEST_F(DownloadLimitsTest, RefusesAndDeletesAFileBeyondTheSizeLimit) {
  const DownloadLimits limits{.maxFileBytes = 3000};
  const std::string whole = PatternBytes(3000);
  http_.Add({.body = whole});
  EXPECT_EQ(Download(limits), kDownloadSucceeded) << "a file of exactly the limit";
  EXPECT_EQ(Staged(), whole);

  std::filesystem::remove(PathFromUtf8(staged_));
  http_.readSizes.clear();
  http_.Add({.body = PatternBytes(5000), .chunk = 1000});
  EXPECT_EQ(Download(limits), kDownloadFailed) << "a body without an announced length";
  EXPECT_FALSE(StagedExists()) << "the oversized file is deleted, not left filling the disk";
  EXPECT_EQ(http_.readSizes.size(), 4u) << "the read that crosses the limit is the last";

  http_.readSizes.clear();
  http_.Add({.body = whole + "x", .contentLength = 3001});
  EXPECT_EQ(Download(limits), kDownloadFailed) << "an announced length beyond the limit";
  EXPECT_TRUE(http_.readSizes.empty()) << "nothing of it is read";
  EXPECT_FALSE(StagedExists());

  // A resumed file counts with the bytes it already holds...
  WriteWholeFile(PathFromUtf8(staged_), whole.substr(0, 1000));
  http_.Add({.status = 206, .body = whole.substr(1000) + "x", .contentLength = 2001});
  EXPECT_EQ(Download(limits), kDownloadFailed);
  EXPECT_FALSE(StagedExists());
  WriteWholeFile(PathFromUtf8(staged_), whole.substr(0, 1000));
  http_.Add({.status = 206, .body = whole.substr(1000) + "xy", .chunk = 500});
  EXPECT_EQ(Download(limits), kDownloadFailed) << "also without an announced length";
  EXPECT_FALSE(StagedExists());
  // ...unless the server ignores the range and the file starts afresh.
  WriteWholeFile(PathFromUtf8(staged_), whole.substr(0, 1000));
  http_.Add({.status = 200, .body = whole, .contentLength = 3000});
  EXPECT_EQ(Download(limits), kDownloadSucceeded);
  EXPECT_EQ(Staged(), whole);

  // A staged file already beyond the limit (left by a run with a larger one) is not resumed.
  WriteWholeFile(PathFromUtf8(staged_), whole + "x");
  const std::size_t requests = http_.requests.size();
  EXPECT_EQ(Download(limits), kDownloadFailed);
  EXPECT_EQ(http_.requests.size(), requests) << "nothing is requested";
  EXPECT_FALSE(StagedExists());
}

TEST(DownloadLimitsServer, EndsATricklingTransfer) {
  testing::TempFolder folder;
  const std::string staged = folder.File("q.exe");
  {
    // One byte at once, then one more every 1.5 s: far slower than the 200 ms allowed here.
    StreamServer trickle({.head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n",
                          .piece = "x",
                          .pieces = 100,
                          .pause = 1500ms});
    ASSERT_TRUE(trickle.ok());
    EXPECT_EQ(GetNewVersionFromNetwork(platform::SystemHttpClient(), trickle.Url("/q.exe"), staged,
                                       "Brenwick", {.silence = 200ms}),
              kDownloadFailed);
    EXPECT_LE(ReadWholeFile(PathFromUtf8(staged)).size(), 1u)
        << "ended at the first pause, not after the hundred bytes";
  }
  std::filesystem::remove(PathFromUtf8(staged));
  {
    // The same server with pauses far within the default limit delivers the whole body.
    StreamServer steady({.head = "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n",
                         .piece = "y",
                         .pieces = 20,
                         .pause = 20ms});
    ASSERT_TRUE(steady.ok());
    EXPECT_EQ(GetNewVersionFromNetwork(platform::SystemHttpClient(), steady.Url("/q.exe"), staged,
                                       "Brenwick"),
              kDownloadSucceeded);
    EXPECT_EQ(ReadWholeFile(PathFromUtf8(staged)), std::string(20, 'y'));
  }
}

TEST(DownloadLimitsServer, EndsAnEndlessTransferAtTheSizeLimit) {
  testing::TempFolder folder;
  const std::string staged = folder.File("q.exe");
  constexpr std::uint64_t kLimit = 1 << 20;
  StreamServer endless({.head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n",
                        .piece = std::string(64 * 1024, 'e'),
                        .pieces = 0});
  ASSERT_TRUE(endless.ok());
  // The silence limit is far away, so only the size limit can end the transfer soon.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(GetNewVersionFromNetwork(platform::SystemHttpClient(), endless.Url("/q.exe"), staged,
                                     "Brenwick", {.silence = 120s, .maxFileBytes = kLimit}),
            kDownloadFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s)
      << "the size limit ended it, not a time-out";
  EXPECT_GE(endless.SentBodyBytes(), kLimit);
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(staged))) << "and the disk is free again";
}

}  // namespace
}  // namespace quorin::updater
