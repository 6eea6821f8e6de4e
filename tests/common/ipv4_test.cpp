#include "common/ipv4.h"

#include <gtest/gtest.h>

namespace quorin {
namespace {

TEST(ParseInetAddr, AcceptsTheClassicForms) {
  EXPECT_EQ(ParseInetAddr("1.2.3.4"), (Ipv4Address{1, 2, 3, 4}));
  EXPECT_EQ(ParseInetAddr("10.1"), (Ipv4Address{10, 0, 0, 1})) << "last part fills the rest";
  EXPECT_EQ(ParseInetAddr("10.1.258"), (Ipv4Address{10, 1, 1, 2}));
  EXPECT_EQ(ParseInetAddr("16909060"), (Ipv4Address{1, 2, 3, 4})) << "one 32-bit number";
  EXPECT_EQ(ParseInetAddr("0x7f.1"), (Ipv4Address{127, 0, 0, 1})) << "hexadecimal";
  EXPECT_EQ(ParseInetAddr("010.0.0.1"), (Ipv4Address{8, 0, 0, 1})) << "octal";
  EXPECT_EQ(ParseInetAddr("0.0.0.0"), (Ipv4Address{0, 0, 0, 0}));
}

TEST(ParseInetAddr, RejectsMalformedTexts) {
  for (const char* bad : {"", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "a.b.c.d", "1..2", "1.2.3.",
                          ".1.2.3", "1.2.3.4 ", "1.2.3.4x", "08", "0x", "4294967296",
                          "1.2.3.4\n", "-1.2.3.4", "example.com"}) {
    EXPECT_FALSE(ParseInetAddr(bad).has_value()) << '"' << bad << '"';
  }
}

TEST(IsDottedAddress, RejectsEmptyAndAllOnes) {
  EXPECT_TRUE(IsDottedAddress("192.168.1.20"));
  EXPECT_FALSE(IsDottedAddress(""));
  EXPECT_FALSE(IsDottedAddress("255.255.255.255")) << "the all-ones address is the error value";
  EXPECT_FALSE(IsDottedAddress("0xffffffff"));
  EXPECT_FALSE(IsDottedAddress("ddns1.tilro.net"));
  EXPECT_TRUE(IsDottedAddress("255.255.255.254"));
}

TEST(FormatIpv4, WritesDottedDecimal) {
  EXPECT_EQ(FormatIpv4({203, 0, 113, 7}), "203.0.113.7");
  EXPECT_EQ(FormatIpv4({0, 0, 0, 0}), "0.0.0.0");
}

}  // namespace
}  // namespace quorin
