#include "client/protocol/server_connection.h"

#include <gtest/gtest.h>

#include <thread>

#include "client/texts/client_texts.h"
#include "fake_network.h"
#include "platform/clock.h"
#include "test_settings.h"

namespace quorin::client {
namespace {

using testing::ConnectionScript;
using testing::FakeConnector;
using namespace std::chrono_literals;

class ServerConnectionTest : public ::testing::Test {
 protected:
  ServerConnectionTest() {
    settings_.WriteSetting("UpdateHostFree2", "second.test");
    connector_.names["primary.test"] = "10.0.0.1";
    connector_.names["second.test"] = "10.0.0.2";
    connector_.names["given.test"] = "10.0.0.3";
    SetDdnsHostName("primary.test");
  }
  ~ServerConnectionTest() override { SetDdnsHostName(""); }

  testing::TestSettings testSettings_;
  Settings& settings_ = testSettings_.settings;
  FakeConnector connector_;
  platform::ManualClock clock_;
  platform::ScopedClockOverride clockOverride_{clock_};
};

TEST_F(ServerConnectionTest, OpenTriesGivenHostThenPrimaryThenSecondaryTwiceEach) {
  ServerConnection connection(settings_, connector_);
  EXPECT_FALSE(connection.Open("given.test", 80));
  ASSERT_EQ(connector_.attempts.size(), 6u);
  const char* expected[] = {"10.0.0.3", "10.0.0.3", "10.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.2"};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(connector_.attempts[i].address, expected[i]) << "attempt " << i;
    EXPECT_EQ(connector_.attempts[i].port, 5353) << "never the port the caller named";
    EXPECT_EQ(connector_.attempts[i].timeout, 6000ms);
  }
  // A 50 ms pause after each of the six failed attempts, and one before the secondary host.
  EXPECT_EQ(clock_.TotalWaitedMs(), 7 * 50);
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(connection.Host(), "second.test");
  EXPECT_EQ(connection.Port(), 5353);
}

TEST_F(ServerConnectionTest, OpenStopsAtTheFirstHostThatConnectsAndSkipsUnresolvedNames) {
  connector_.Serve("10.0.0.2", "");
  SetDdnsHostName("unknown.invalid");
  ServerConnection connection(settings_, connector_);
  EXPECT_EQ(connection.Port(), -1);
  ASSERT_TRUE(connection.Open());
  EXPECT_TRUE(connection.IsOpen());
  EXPECT_EQ(connection.Host(), "second.test");
  ASSERT_EQ(connector_.attempts.size(), 1u) << "the unresolved primary gets no attempt";
  EXPECT_EQ(connector_.resolved.front(), "unknown.invalid");
  EXPECT_EQ(clock_.TotalWaitedMs(), 50) << "only the pause before the secondary host";

  connector_.attempts.clear();
  connector_.Serve("10.0.0.3", "");
  ServerConnection direct(settings_, connector_);
  EXPECT_TRUE(direct.Open("given.test"));
  EXPECT_EQ(connector_.attempts.size(), 1u);
}

TEST_F(ServerConnectionTest, ExchangeSendsEverythingAndReadsUntilClose) {
  ConnectionScript script;
  script.sendChunk = 3;  // the system takes three bytes per send
  script.replyParts = {"00a", "bc", "", "def"};
  connector_.reachable["10.0.0.1"] = {script};
  ServerConnection connection(settings_, connector_);
  ASSERT_TRUE(connection.Open());
  std::string reply = "stale";
  const std::string request = "GET  /client_getIP.php?user_name=u&key=k&randText=r&\n";
  EXPECT_TRUE(connection.Exchange(request, reply, true));
  EXPECT_EQ(connector_.logs[0]->sent, request) << "short sends are continued";
  EXPECT_GT(connector_.logs[0]->sendCalls, 10u);
  EXPECT_EQ(reply, "00abc") << "an empty piece is the peer's close";
}

TEST_F(ServerConnectionTest, ExchangeFailures) {
  ServerConnection unopened(settings_, connector_);
  std::string reply = "stale";
  EXPECT_FALSE(unopened.Exchange("GET  /x?\n", reply, true));
  EXPECT_EQ(reply, "");

  ConnectionScript refusesBytes;
  refusesBytes.sendFails = true;
  connector_.reachable["10.0.0.1"] = {refusesBytes};
  ServerConnection sendFails(settings_, connector_);
  ASSERT_TRUE(sendFails.Open());
  EXPECT_FALSE(sendFails.Exchange("GET  /x?\n", reply, false));

  ConnectionScript silent;
  silent.replyParts = {"00partial"};
  silent.closeAfterReply = false;  // the server never closes: the receive times out
  connector_.reachable["10.0.0.1"] = {silent};
  ConnectionTimeouts quick;
  quick.receive = 300ms;
  ServerConnection timesOut(settings_, connector_, quick);
  ASSERT_TRUE(timesOut.Open());
  EXPECT_FALSE(timesOut.Exchange("GET  /x?\n", reply, true));
  EXPECT_EQ(reply, "") << "a reply that never ended is no reply";

  // A stop request ends the wait for a server that says nothing, long before its time-out.
  connector_.reachable["10.0.0.1"] = {silent};
  platform::StopSource stop;
  ServerConnection stopped(settings_, connector_, ConnectionTimeouts{}, stop.Token());
  ASSERT_TRUE(stopped.Open());
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    stop.RequestStop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(stopped.Exchange("GET  /x?\n", reply, true));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << "the promised bound of a stop";
  stopper.join();
  EXPECT_FALSE(stopped.Open()) << "a stopped connection opens no more";
}

TEST_F(ServerConnectionTest, ExchangeWithoutReplyOnlySends) {
  connector_.Serve("10.0.0.1", "00never read");
  ServerConnection connection(settings_, connector_);
  ASSERT_TRUE(connection.Open());
  std::string reply;
  EXPECT_TRUE(connection.Exchange("POST /s HTTP/1.0\n", reply, false));
  EXPECT_EQ(connector_.logs[0]->receiveCalls, 0u);
  EXPECT_EQ(reply, "");
  connection.Close();
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_FALSE(connection.Exchange("again", reply, false)) << "closed means closed";
}

TEST_F(ServerConnectionTest, RepliesUpTo64KiBArriveWholeAndStopAtAZeroByte) {
  connector_.Serve("10.0.0.1", std::string(kMaxReplyBytes, 'z'));
  ServerConnection connection(settings_, connector_);
  ASSERT_TRUE(connection.Open());
  std::string reply;
  EXPECT_TRUE(connection.Exchange("GET  /x?\n", reply, true));
  EXPECT_EQ(reply.size(), kMaxReplyBytes) << "a reply of exactly the limit is whole";

  // One byte more and the reply would be cut: that is a failed exchange, not a short reply.
  ConnectionScript endless;
  endless.replyParts = {std::string(kMaxReplyBytes + 1, 'z'), std::string(1000000, 'z')};
  connector_.reachable["10.0.0.1"] = {endless};
  ServerConnection tooLong(settings_, connector_);
  ASSERT_TRUE(tooLong.Open());
  reply = "stale";
  EXPECT_FALSE(tooLong.Exchange("GET  /x?\n", reply, true));
  EXPECT_EQ(reply, "");
  EXPECT_LE(connector_.logs.back()->receiveCalls, kMaxReplyBytes / 4096 + 2)
      << "the receive stops at the limit, it does not drain the server";

  connector_.Serve("10.0.0.1", std::string("00ok\0junk", 9));
  ServerConnection withZero(settings_, connector_);
  ASSERT_TRUE(withZero.Open());
  EXPECT_TRUE(withZero.Exchange("GET  /x?\n", reply, true));
  EXPECT_EQ(reply, "00ok");
}

}  // namespace
}  // namespace quorin::client
