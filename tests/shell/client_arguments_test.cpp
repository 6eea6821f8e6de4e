// The windowed client's command line as the C run time splits it: the silent account and the
// clock's speed.
#include "client/app/client_arguments.h"

#include <gtest/gtest.h>

namespace quorin::client {
namespace {

TEST(ClientArguments, SilentModeNeedsTheSwitchFirstAndAtLeastFourArguments) {
  auto parsed = ParseClientArguments({"QuorinFree.exe", "/SILENT", "user name", "pass word"});
  EXPECT_EQ(parsed.silentUser, "user name") << "quoted arguments keep their blanks";
  EXPECT_EQ(parsed.silentPassword, "pass word");

  parsed = ParseClientArguments({"QuorinFree.exe", "-silent", "user"});
  EXPECT_EQ(parsed.silentUser, "") << "three arguments in all are not silent mode";
  EXPECT_EQ(parsed.silentPassword, "");
  EXPECT_EQ(ParseClientArguments({"QuorinFree.exe", "user", "-silent", "pw"}).silentUser, "")
      << "the switch comes first";
  EXPECT_EQ(ParseClientArguments({"QuorinFree.exe", "--silent", "u", "p"}).silentUser, "");
  EXPECT_EQ(ParseClientArguments({"QuorinFree.exe", "-Silent", "u", "p", "extra"}).silentUser, "u")
      << "more arguments are allowed";
  EXPECT_EQ(ParseClientArguments({}).silentUser, "");
}

TEST(ClientArguments, TheTimeScaleIsANumberWithinItsRangeOrTheRealClock) {
  EXPECT_EQ(ParseClientArguments({"QuorinFree.exe"}).timeScale, 1.0);
  const auto parsed =
      ParseClientArguments({"QuorinFree.exe", "-silent", "u", "p", "--time-scale", "60"});
  EXPECT_EQ(parsed.timeScale, 60.0);
  EXPECT_EQ(parsed.silentUser, "u");
  for (const char* bad : {"0.5", "fast", "60x", "1000000", ""})
    EXPECT_EQ(ParseClientArguments({"QuorinFree.exe", "--time-scale", bad}).timeScale, 1.0) << bad;
  EXPECT_EQ(ParseClientArguments({"QuorinFree.exe", "--time-scale"}).timeScale, 1.0);
}

}  // namespace
}  // namespace quorin::client
