#include "updater/waiter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/named_signal.h"
#include "platform/program_folder.h"
#include "temp_folder.h"
#include "updater/shared_mem_int.h"

namespace quorin::updater {
namespace {

using namespace std::chrono_literals;

TEST(Waiter, PrintsTheNamesTheUpdaterUses) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunWaiter({"brenwick_wait", "--names", "--session", "1", "C:\\A\\"}, out, err), 0);
  if (platform::PathSeparator() == '\\') {
    EXPECT_EQ(out.str(),
              "block=Local\\NewVersionInfoGot_3741\nevent=Local\\NewVersionInfoGot_3741_Event\n");
  } else {
    // '/' is added after the folder, so the sum grows by 47.
    EXPECT_EQ(out.str(),
              "block=Local\\NewVersionInfoGot_4211\nevent=Local\\NewVersionInfoGot_4211_Event\n");
  }
}

TEST(Waiter, RejectsBadArguments) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunWaiter({"brenwick_wait"}, out, err), 2);
  EXPECT_EQ(RunWaiter({"brenwick_wait", "--session", "x", "folder"}, out, err), 2);
  EXPECT_EQ(RunWaiter({"brenwick_wait", "--bogus", "folder"}, out, err), 2);
  EXPECT_EQ(RunWaiter({"brenwick_wait", "a", "b"}, out, err), 2);
  EXPECT_NE(err.str().find("usage:"), std::string::npos);
}

TEST(Waiter, WaitsForTheUpdatersSignalAndReadsTheFlag) {
  testing::TempFolder folder;
  const std::string ready = folder.File("ready");
  std::ostringstream out;
  std::ostringstream err;
  int status = -1;
  std::thread waiter([&] {
    status = RunWaiter(
        {"brenwick_wait", "--timeout", "10000", "--ready", ready, "--session", "9", folder.Text()},
        out, err);
  });
  for (int i = 0; i < 500 && !std::filesystem::exists(folder.path() / "ready"); ++i) {
    std::this_thread::sleep_for(10ms);
  }
  SharedMemInt updater(NotifyBaseName(platform::PathBytesForNames(folder.Text())), 9);
  updater.StoreQueryDone();
  updater.Signal();
  waiter.join();
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.str().find("result=signalled\nmagic=0x12345678\nflag=1\n"), std::string::npos)
      << out.str();

  std::ostringstream timedOut;
  EXPECT_EQ(
      RunWaiter({"brenwick_wait", "--timeout", "100", folder.Text() + "other"}, timedOut, err), 1);
  EXPECT_NE(timedOut.str().find("result=timeout\nmagic=0x12345678\nflag=0\n"), std::string::npos);

  std::ostringstream missing;
  EXPECT_EQ(RunWaiter({"brenwick_wait", "--open-only", folder.Text() + "none"}, missing, err), 3);
  EXPECT_NE(missing.str().find("result=no-block"), std::string::npos);
}

}  // namespace
}  // namespace quorin::updater
