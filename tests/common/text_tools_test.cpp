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
