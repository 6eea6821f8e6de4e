#include "client/texts/format_time.h"

#include <gtest/gtest.h>

namespace quorin::client {
namespace {

const platform::CalendarTime kTime{2010, 8, 3, 4, 9, 56, 53, 7};

TEST(FormatTimeMs, WritesTheLogTimeForm) {
  EXPECT_EQ(FormatTimeMs("%Y-%m-%d %H:%M:%S", kTime, 32), "2010-08-04 09:56:53");
}

TEST(FormatTimeMs, ReplacesTheFirstPercentSByThreeDigitMilliseconds) {
  EXPECT_EQ(FormatTimeMs("%H:%M:%S.%s", kTime, 64), "09:56:53.007");
  platform::CalendarTime late = kTime;
  late.millisecond = 999;
  EXPECT_EQ(FormatTimeMs("%s", late, 16), "999");
  EXPECT_EQ(FormatTimeMs("%s%%s", late, 16), "999%s") << "only the first is replaced";
}

TEST(FormatTimeMs, FailsWhenTheOutputIsTooSmall) {
  // "%H:%M:%S.%s" has 11 characters: the output needs at least 14 bytes.
  EXPECT_FALSE(FormatTimeMs("%H:%M:%S.%s", kTime, 13));
  EXPECT_EQ(FormatTimeMs("%H:%M:%S.%s", kTime, 14), "09:56:53.007");
  EXPECT_FALSE(FormatTimeMs("%Y-%m-%d %H:%M:%S", kTime, 19)) << "19 characters need 20 bytes";
  EXPECT_FALSE(FormatTimeMs("%Y", kTime, 0));
}

}  // namespace
}  // namespace quorin::client
