#include "common/text_tools.h"

#include <gtest/gtest.h>

#include "common/bounded_text.h"

namespace quorin {
namespace {

TEST(TrimText, RemovesBlanksAndLineEndsAtBothEndsOnly) {
  EXPECT_EQ(TrimText("  a b \r\n"), "a b");
  EXPECT_EQ(TrimText("\n\r x"), "x");
  EXPECT_EQ(TrimText(" \r\n "), "");
  EXPECT_EQ(TrimText(""), "");
  EXPECT_EQ(TrimText("\ta\t"), "\ta\t") << "tabs are not trimmed";
}

TEST(ReplaceChar, ReplacesEveryOccurrence) {
  EXPECT_EQ(ReplaceChar("a.b.c", '.', '_'), "a_b_c");
  EXPECT_EQ(ReplaceChar("abc", 'x', 'y'), "abc");
}

TEST(DirectoryOf, CutsAtTheLastBackslash) {
  EXPECT_EQ(DirectoryOf("C:\\Program Files\\Quorin\\QuorinFree.exe"), "C:\\Program Files\\Quorin");
  EXPECT_EQ(DirectoryOf("C:\\a.exe"), "C:");
  EXPECT_EQ(DirectoryOf("a.exe"), "") << "no backslash, no directory";
  EXPECT_EQ(DirectoryOf("C:\\dir\\"), "C:\\dir");
}

TEST(CutText, CutsBytesButNeverHalfACharacter) {
  EXPECT_EQ(CutText("abcdef", 3), "abc");
  EXPECT_EQ(CutText("ab", 3), "ab");
  // "未登录" is three characters of three bytes each.
  const std::string chinese = "未登录";
  EXPECT_EQ(CutText(chinese, 9), chinese);
  EXPECT_EQ(CutText(chinese, 8), "未登");
  EXPECT_EQ(CutText(chinese, 6), "未登");
  EXPECT_EQ(CutText(chinese, 4), "未");
  EXPECT_EQ(CutText(chinese, 2), "");
  EXPECT_EQ(CutText("a\xC3\xA9", 2), "a") << "a two-byte character cut after its lead byte";
  // Bytes that are not UTF-8 at all are cut plainly.
  EXPECT_EQ(CutText("\x80\x80\x80\x80\x80\x80", 4).size(), 4u);
}

// Code page 936 (GBK): bytes 0x81 to 0xFE lead a two-byte character whose trail byte may
// itself look like a lead byte or like ASCII.
bool IsGbkLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

TEST(CutDoubleByteText, NeverSplitsACharacterOfTheCodePage) {
  const std::string zhangSan = "\xD5\xC5\xC8\xFD";  // two GBK characters
  EXPECT_EQ(CutDoubleByteText(zhangSan, 4, IsGbkLeadByte), zhangSan);
  EXPECT_EQ(CutDoubleByteText(zhangSan, 3, IsGbkLeadByte), "\xD5\xC5") << "lead byte at the cut";
  EXPECT_EQ(CutDoubleByteText(zhangSan, 1, IsGbkLeadByte), "");
  EXPECT_EQ(CutDoubleByteText("a" + zhangSan, 2, IsGbkLeadByte), "a");
  EXPECT_EQ(CutDoubleByteText("a" + zhangSan, 3, IsGbkLeadByte), "a\xD5\xC5");
  // A trail byte that is also a lead byte (0xC8 0xFD, 0xB0 0xA1): only a walk from the start
  // tells the pairs apart; "\xB0\xA1\xB0" cut at 3 keeps only the first character.
  EXPECT_EQ(CutDoubleByteText("\xB0\xA1\xB0\xA1", 3, IsGbkLeadByte), "\xB0\xA1");
  EXPECT_EQ(CutDoubleByteText("\x81\x40x", 2, IsGbkLeadByte), "\x81\x40") << "ASCII-looking trail";
  EXPECT_EQ(CutDoubleByteText("\x81\x40x", 1, IsGbkLeadByte), "");
  EXPECT_EQ(CutDoubleByteText("ab\xD5", 3, IsGbkLeadByte), "ab\xD5")
      << "a lead byte without its trail at the end is a byte of its own";
  // Fourteen characters fill the 29-byte user name with one byte to spare; a fifteenth is cut.
  std::string name;
  for (int i = 0; i < 15; ++i)
    name += zhangSan.substr(0, 2);
  EXPECT_EQ(CutDoubleByteText(name, 29, IsGbkLeadByte).size(), 28u);
}

TEST(AtoiReading, ReadsLikeAtoiWithThirtyTwoBitWrap) {
  EXPECT_EQ(AtoiReading("42"), 42);
  EXPECT_EQ(AtoiReading("  -7x"), -7);
  EXPECT_EQ(AtoiReading("+3"), 3);
  EXPECT_EQ(AtoiReading("abc"), 0);
  EXPECT_EQ(AtoiReading(""), 0);
  EXPECT_EQ(AtoiReading("2"), 2);
  EXPECT_EQ(AtoiReading("2147483650"), -2147483646) << "wraps like a 32-bit accumulator";
  EXPECT_EQ(AtoiReading("-2147483646"), -2147483646);
  EXPECT_EQ(static_cast<std::uint32_t>(AtoiReading("2147483650")), 0x80000002u);
  EXPECT_EQ(static_cast<std::uint32_t>(AtoiReading("2147483649")), 0x80000001u);
}

TEST(CaseInsensitiveCompare, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("SOFTWARE", "software"));
  EXPECT_FALSE(EqualsIgnoreCase("abc", "abcd"));
  EXPECT_TRUE(StartsWithIgnoreCase("HTTP://x", "http://"));
  EXPECT_FALSE(StartsWithIgnoreCase("ht", "http://"));
  EXPECT_EQ(ToLowerAscii("AbC未"), "abc未");
}

TEST(BoundedText, KeepsAtMostCapacityMinusOneBytes) {
  BoundedText<4> text = "abcdef";
  EXPECT_EQ(text.str(), "abc");
  text = "xy";
  EXPECT_EQ(text, "xy");
  BoundedText<30> status(std::string(40, 'a'));
  EXPECT_EQ(status.size(), 29u);
}

}  // namespace
}  // namespace quorin
