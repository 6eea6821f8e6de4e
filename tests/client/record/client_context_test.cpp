#include "client/record/client_context.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/stoppable_thread.h"

namespace quorin::client {
namespace {

ZoneRecord MakeZone(std::string_view name, std::initializer_list<std::string_view> labels) {
  ZoneRecord zone;
  zone.zoneName = name;
  std::size_t i = 0;
  for (std::string_view label : labels)
    zone.hosts[i++].label = label;
  return zone;
}

TEST(ClientContext, StartsNotLoggedInWithTheStatusTexts) {
  ClientContext context;
  EXPECT_EQ(context.StatusText(kStatusUser), "<未登录>");
  EXPECT_EQ(context.StatusText(kStatusLine), "<未连接>");
  EXPECT_EQ(context.StatusText(kStatusAddress), "");
  const ClientState state = context.Snapshot();
  EXPECT_TRUE(state.expired);
  EXPECT_EQ(state.logFileName, "quorin.log");
  EXPECT_TRUE(state.key.empty());
  for (const auto& zone : state.zones)
    EXPECT_FALSE(zone.has_value());
  EXPECT_EQ(&GetClientContext(), &GetClientContext()) << "one record per process";
}

TEST(ClientContext, StatusTextsAreCutAndOutOfRangeIndexesIgnored) {
  ClientContext context;
  context.SetStatusText(7, "nothing");
  context.SetStatusText(-1, "nothing");
  for (int i = 0; i < 7; ++i)
    EXPECT_NE(context.StatusText(i), "nothing");
  context.SetStatusText(4, std::string(40, '9'));
  EXPECT_EQ(context.StatusText(4), std::string(29, '9'));
  EXPECT_EQ(context.StatusText(7), "");
}

TEST(ClientContext, RecordFieldsKeepTheirWidths) {
  ClientContext context;
  context.Edit([](ClientState& state) {
    state.userName = std::string(40, 'u');
    state.password = std::string(300, 'p');
    state.key = std::string(60, 'k');
    state.randText = "0123456789abc";
    state.zones[0] = MakeZone(std::string(250, 'z'), {std::string(35, 'l')});
    state.zones[0]->hosts[0].hostText3 = std::string(25, 't');
  });
  const ClientState state = context.Snapshot();
  EXPECT_EQ(state.userName.size(), 29u);
  EXPECT_EQ(state.password.size(), 255u);
  EXPECT_EQ(state.key.size(), 49u);
  EXPECT_EQ(state.randText, "012345678");
  EXPECT_EQ(state.zones[0]->zoneName.size(), 199u);
  EXPECT_EQ(state.zones[0]->hosts[0].label.size(), 29u);
  EXPECT_EQ(state.zones[0]->hosts[0].hostText3.size(), 19u);
}

TEST(ClientContext, FindHostComparesExactly) {
  ClientContext context;
  context.Edit([](ClientState& state) {
    state.zones[0] = MakeZone("example.com", {"www", "mail"});
    state.zones[1] = MakeZone("example.org", {"www"});
    state.zones[1]->hosts[0].address = "192.0.2.1";
  });
  const auto found = context.FindHost("example.org", "www");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->address, "192.0.2.1");
  EXPECT_FALSE(context.FindHost("example.org", "WWW")) << "labels are case-sensitive";
  EXPECT_FALSE(context.FindHost("EXAMPLE.com", "www"));
  EXPECT_FALSE(context.FindHost("example.net", "www"));
}

TEST(ClientContext, FirstChangedDomainFollowsSlotOrder) {
  ClientContext context;
  EXPECT_FALSE(context.FirstChangedDomain());
  context.Edit([](ClientState& state) {
    state.zones[0] = MakeZone("a.com", {"h0", "h1", "h2", "h3", "h4", "h5"});
    state.zones[2] = MakeZone("c.com", {"first"});
    state.zones[2]->hosts[0].changed = true;
    state.zones[0]->hosts[5].changed = true;
  });
  EXPECT_EQ(context.FirstChangedDomain(), "h5.a.com") << "zone 0 comes before zone 2";
  context.ClearChangedMarks();
  EXPECT_FALSE(context.FirstChangedDomain());
  const ClientState state = context.Snapshot();
  EXPECT_FALSE(state.zones[2]->hosts[0].changed) << "marks cleared in every zone";
}

TEST(ClientContext, FreeZonesEmptiesEverySlot) {
  ClientContext context;
  context.Edit([](ClientState& state) {
    for (auto& zone : state.zones)
      zone = MakeZone("z.com", {"a"});
  });
  context.FreeZones();
  for (const auto& zone : context.Snapshot().zones)
    EXPECT_FALSE(zone.has_value());
}

TEST(ClientContext, WritesOfAReplacedGenerationAreIgnored) {
  ClientContext context;
  const std::uint64_t first = context.BeginGeneration();
  EXPECT_TRUE(context.EditIfCurrent(first, [](ClientState& s) { SetStatusText(s, 4, "1.1.1.1"); }));
  const std::uint64_t second = context.BeginGeneration();
  EXPECT_FALSE(context.IsCurrentGeneration(first));
  EXPECT_TRUE(context.IsCurrentGeneration(second));
  EXPECT_FALSE(
      context.EditIfCurrent(first, [](ClientState& s) { SetStatusText(s, 4, "6.6.6.6"); }));
  EXPECT_EQ(context.StatusText(4), "1.1.1.1");
  EXPECT_TRUE(
      context.EditIfCurrent(second, [](ClientState& s) { SetStatusText(s, 4, "2.2.2.2"); }));
  EXPECT_EQ(context.StatusText(4), "2.2.2.2");
}

// A watchdog stand-in: a thread that runs until asked to stop and reads the record meanwhile.
class RecordReader : public BackgroundTask {
 public:
  explicit RecordReader(ClientContext& context)
      : thread_([this, &context](platform::StopToken stop) {
          while (!stop.StopRequested()) {
            context.StatusText(0);
            ++reads_;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        }) {}
  void RequestStop() override { thread_.RequestStop(); }
  int reads() const { return reads_; }

 private:
  std::atomic<int> reads_{0};
  platform::StoppableThread thread_;
};

TEST(ClientContext, StopsItsWatchdogWithoutHoldingTheRecord) {
  ClientContext context;
  auto reader = std::make_unique<RecordReader>(context);
  EXPECT_FALSE(context.ExchangeWatchdog(std::move(reader)));
  EXPECT_TRUE(context.HasWatchdog());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // The reader takes the record's lock; stopping must not deadlock against it.
  context.StopWatchdog();
  EXPECT_FALSE(context.HasWatchdog());
}

TEST(ClientContext, ConcurrentWritersAndReadersSeeWholeTexts) {
  ClientContext context;
  const std::string a(29, 'a');
  const std::string b(29, 'b');
  std::atomic<bool> torn{false};
  platform::StoppableThread writer([&](platform::StopToken stop) {
    for (int i = 0; !stop.StopRequested(); ++i)
      context.SetStatusText(1, i % 2 ? a : b);
  });
  for (int i = 0; i < 20000; ++i) {
    const std::string text = context.StatusText(1);
    if (text != a && text != b && text != "<未连接>")
      torn = true;
  }
  writer.RequestStop();
  writer.Join();
  EXPECT_FALSE(torn) << "a reader saw half of one text and half of another";
}

}  // namespace
}  // namespace quorin::client
