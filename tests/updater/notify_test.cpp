#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/named_signal.h"
#include "updater/notify_names.h"
#include "updater/shared_mem_int.h"

namespace quorin::updater {
namespace {

using namespace std::chrono_literals;

TEST(NotifyNames, FollowTheFolderByteSumAndTheSession) {
  EXPECT_EQ(FolderByteSum("C:\\A\\"), 374u);
  EXPECT_EQ(NotifyBaseName("C:\\A\\"), "NewVersionInfoGot_374");
  const NotifyNames names = NotifyNamesFor(NotifyBaseName("C:\\A\\"), 1);
  EXPECT_EQ(names.block, "Local\\NewVersionInfoGot_3741");
  EXPECT_EQ(names.event, "Local\\NewVersionInfoGot_3741_Event");

  EXPECT_EQ(FolderByteSum("C:\\\xd6\xd0\\"), 67u + 58 + 92 + (0xd6 - 256) + (0xd0 - 256) + 92)
      << "bytes of 0x80 and above count negative";
  EXPECT_EQ(NotifyBaseName("\xf6"), "NewVersionInfoGot_4294967286") << "-10 prints unsigned";
  EXPECT_EQ(FolderByteSum(""), 0u);
  EXPECT_EQ(NotifyNamesFor("", 0).block, "Local\\DefaultSharedMemIntName0");
  EXPECT_EQ(NotifyNamesFor(std::string(300, 'n'), 7).block.size(), 255u);
}

// A base name no other test or run uses.
std::string UniqueBase(const char* what) {
  return std::string("QuorinTest_") + what + "_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

TEST(SharedMemInt, InitialisesTheBlockOnceAndSharesItByName) {
  const std::string base = UniqueBase("share");
  SharedMemInt first(base, 1);
  ASSERT_TRUE(first.HasData());
  ASSERT_TRUE(first.HasEvent());
  EXPECT_EQ(first.Magic(), kNotifyMagic);
  EXPECT_EQ(first.Flag(), 0u);
  first.StoreQueryDone();

  SharedMemInt second(base, 1);  // the same folder and session: the same block
  EXPECT_EQ(second.Flag(), 1u) << "the magic is there, so the flag is left as found";
  SharedMemInt otherSession(base, 2);
  EXPECT_EQ(otherSession.Flag(), 0u);
  SharedMemInt otherFolder(base + "x", 1);
  EXPECT_EQ(otherFolder.Flag(), 0u);

  SharedMemInt existing(base, 1, 4, false, platform::NamedOpen::OpenExisting);
  EXPECT_TRUE(existing.HasData());
  EXPECT_FALSE(existing.HasEvent());
  SharedMemInt absent(UniqueBase("absent"), 1, 4, true, platform::NamedOpen::OpenExisting);
  EXPECT_FALSE(absent.HasData()) << "opening only never creates";
  EXPECT_FALSE(absent.HasEvent());
}

TEST(SharedMemInt, LivesAsLongAsSomeoneHoldsIt) {
  const std::string base = UniqueBase("life");
  {
    SharedMemInt holder(base, 1);
    holder.StoreQueryDone();
    {
      SharedMemInt other(base, 1);
      EXPECT_EQ(other.Flag(), 1u);
    }
    SharedMemInt again(base, 1, 4, false, platform::NamedOpen::OpenExisting);
    EXPECT_EQ(again.Flag(), 1u) << "still held by `holder`";
  }
  SharedMemInt gone(base, 1, 4, false, platform::NamedOpen::OpenExisting);
  EXPECT_FALSE(gone.HasData()) << "the last holder let go: the name is free again";
  SharedMemInt fresh(base, 1);
  EXPECT_EQ(fresh.Flag(), 0u);
}

TEST(SharedMemInt, TheEventWakesOneWaiterAndResetsItself) {
  const std::string base = UniqueBase("event");
  SharedMemInt waiter(base, 3);
  SharedMemInt updater(base, 3);
  EXPECT_FALSE(waiter.Wait(50ms)) << "not signalled at first";

  updater.Signal();
  updater.Signal();  // an event already set stays set once
  EXPECT_TRUE(waiter.Wait(1000ms));
  EXPECT_FALSE(waiter.Wait(50ms)) << "auto-reset: one wait consumed the signal";

  std::atomic<bool> woke{false};
  std::thread waiting([&] {
    SharedMemInt own(base, 3);
    woke = own.Wait(5000ms) && own.Flag() == 1u;
  });
  std::this_thread::sleep_for(100ms);
  updater.StoreQueryDone();
  updater.Signal();
  waiting.join();
  EXPECT_TRUE(woke) << "a waiter woken by the event reads the flag as 1";
}

}  // namespace
}  // namespace quorin::updater
