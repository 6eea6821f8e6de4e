#include "client/monitor/confirmation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "platform/clock.h"
#include "tests/client/monitor/monitor_test_context.h"
#include "tests/support/driven_clock.h"
#include "tests/support/wait_until.h"

namespace quorin::client {
namespace {

using namespace std::chrono_literals;
using quorin::testing::DrivenClock;
using quorin::testing::WaitUntil;
using testing::AddZone;
using testing::Host;
using testing::LogIn;
using testing::MarkChanged;

// Answers of the account's DNS server, one per check, and what the confirmation asked.
struct FakeDns {
  std::vector<std::string> answers;
  std::vector<std::pair<std::string, std::string>> questions;
  int saves = 0;
  std::mutex mutex;

  std::shared_ptr<ConfirmationServices> Services() {
    auto services = std::make_shared<ConfirmationServices>();
    services->resolve = [this](const std::string& server, const std::string& name,
                               platform::StopToken) {
      std::lock_guard lock(mutex);
      questions.emplace_back(server, name);
      const std::size_t index = questions.size() - 1;
      return index < answers.size() ? answers[index] : answers.back();
    };
    services->save = [this] {
      std::lock_guard lock(mutex);
      ++saves;
      return true;
    };
    return services;
  }
};

void VipAccount(ClientContext& context) {
  LogIn(context, "alice", "010ns1.example.net-alice");
  AddZone(context, 0, "example.net", {{"www", "203.0.113.5"}, {"ftp", "203.0.113.5"}});
  AddZone(context, 2, "example.org", {{"mail", "203.0.113.5"}});
  context.SetStatusText(kStatusAddress, "203.0.113.5");
}

TEST(Confirmation, ClearsEveryMarkOnceTheServerShowsTheAddress) {
  platform::ManualClock clock;
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;
  VipAccount(context);
  MarkChanged(context, "example.net", "ftp");
  MarkChanged(context, "example.org", "mail");
  FakeDns dns;
  dns.answers = {"", "198.51.100.1", "203.0.113.5"};
  const auto services = dns.Services();
  ConfirmationRegistry registry;

  EXPECT_EQ(registry.Run(context, *services, {}), kConfirmationDone);
  EXPECT_EQ(clock.TotalWaitedMs(), 3 * kConfirmIntervalMs) << "one check a minute";
  EXPECT_EQ(dns.saves, 2) << "saved again after each check that failed";
  ASSERT_EQ(dns.questions.size(), 3u);
  EXPECT_EQ(dns.questions[0].first, "ns1.example.net") << "the server part of the key";
  EXPECT_EQ(dns.questions[0].second, "ftp.example.net") << "the first changed record";
  EXPECT_FALSE(Host(context, "example.net", "ftp").changed);
  EXPECT_FALSE(Host(context, "example.org", "mail").changed)
      << "records of other zones are cleared too";
}

TEST(Confirmation, EndsWhenThereIsNothingToConfirm) {
  platform::ManualClock clock;
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;
  VipAccount(context);
  FakeDns dns;
  dns.answers = {"203.0.113.5"};
  const auto services = dns.Services();
  ConfirmationRegistry registry;

  EXPECT_EQ(registry.Run(context, *services, {}), kNothingToConfirm);
  EXPECT_EQ(clock.TotalWaitedMs(), kConfirmIntervalMs) << "after its first minute";
  EXPECT_EQ(dns.saves, 0);
  EXPECT_TRUE(dns.questions.empty());

  ClientContext loggedOut;
  AddZone(loggedOut, 0, "example.net", {{"www", "1.2.3.4"}});
  MarkChanged(loggedOut, "example.net", "www");
  EXPECT_EQ(registry.Run(loggedOut, *services, {}), kNothingToConfirm) << "no key";
  EXPECT_EQ(dns.saves, 0);
}

TEST(Confirmation, NeverConfirmsAnEmptyAnswer) {
  platform::ManualClock clock;
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;
  LogIn(context, "alice", "010-alice");  // no DNS server in the key
  AddZone(context, 0, "example.net", {{"www", ""}});
  MarkChanged(context, "example.net", "www");
  context.SetStatusText(kStatusAddress, "");
  FakeDns dns;
  dns.answers = {""};
  auto services = dns.Services();
  // Stops itself after the third save.
  platform::StopSource stop;
  services->save = [&] {
    if (++dns.saves == 3)
      stop.RequestStop();
    return true;
  };
  ConfirmationRegistry registry;
  EXPECT_EQ(registry.Run(context, *services, stop.Token()), kConfirmationStopped);
  EXPECT_TRUE(Host(context, "example.net", "www").changed);
  EXPECT_EQ(dns.questions.front().first, "");
}

TEST(Confirmation, RunsAtMostOneThreadPerRecord) {
  DrivenClock clock;
  platform::ScopedClockOverride useClock(clock);
  ClientContext context;
  VipAccount(context);
  MarkChanged(context, "example.net", "www");
  FakeDns dns;
  dns.answers = {""};
  std::atomic<int> started{0};
  auto services = dns.Services();
  services->trace = [&](std::string_view line) {
    if (line.find("thread started") != std::string_view::npos)
      ++started;
  };
  ConfirmationRegistry registry;

  EXPECT_EQ(registry.Start(context, services), 1);
  EXPECT_EQ(registry.Start(context, services), 1) << "a second save while one runs";
  ASSERT_TRUE(clock.AwaitBlocked(1));
  EXPECT_EQ(registry.Start(context, services), 1);
  clock.Advance(kConfirmIntervalMs);  // asked once: no answer yet, so saved again
  ASSERT_TRUE(clock.AwaitBlocked(1));
  EXPECT_EQ(clock.BlockedUntil().size(), 1u) << "one thread waits";
  EXPECT_EQ(started.load(), 1);
  EXPECT_EQ(dns.saves, 1);
  EXPECT_TRUE(registry.IsRunning(context));

  // The running thread sees the address arrive and ends; a later save starts a new one.
  {
    std::lock_guard lock(dns.mutex);
    dns.answers = {"203.0.113.5"};
  }
  clock.Advance(kConfirmIntervalMs);
  ASSERT_TRUE(WaitUntil([&] { return !registry.IsRunning(context); }));
  EXPECT_FALSE(Host(context, "example.net", "www").changed);

  MarkChanged(context, "example.net", "ftp");
  EXPECT_EQ(registry.Start(context, services), 1);
  ASSERT_TRUE(clock.AwaitBlocked(1));
  clock.Advance(kConfirmIntervalMs);
  ASSERT_TRUE(WaitUntil([&] { return !registry.IsRunning(context); }));
  EXPECT_EQ(started.load(), 2);
  EXPECT_FALSE(Host(context, "example.net", "ftp").changed);
  EXPECT_EQ(dns.saves, 1) << "a confirmed change is not saved again";
}

TEST(Confirmation, StopsPromptly) {
  // The real clock: every thread waits a whole minute unless it is stopped.
  ClientContext first;
  ClientContext second;
  VipAccount(first);
  VipAccount(second);
  MarkChanged(first, "example.net", "www");
  MarkChanged(second, "example.net", "www");
  FakeDns dns;
  dns.answers = {""};
  const auto services = dns.Services();
  ConfirmationRegistry registry;
  registry.Start(first, services);
  registry.Start(second, services);
  EXPECT_TRUE(registry.IsRunning(first));
  EXPECT_TRUE(registry.IsRunning(second));

  const auto start = std::chrono::steady_clock::now();
  registry.StopAll();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << "the promised bound of a stop";
  EXPECT_FALSE(registry.IsRunning(first));
  EXPECT_EQ(dns.saves, 0);
}

}  // namespace
}  // namespace quorin::client
