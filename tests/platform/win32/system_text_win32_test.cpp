// The conversion pair through the ANSI code page. The code page 936 group runs in the Wine run
// with LANG=zh_CN.UTF-8 and is skipped under any other code page.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/system_text.h"

namespace quorin::platform {
namespace {

const std::string kZhangSanUtf8 = "\xE5\xBC\xA0\xE4\xB8\x89";  // 张三
const std::string kZhangSanGbk = "\xD5\xC5\xC8\xFD";

TEST(SystemText, RefusesWhatTheCodePageCannotWriteWhateverItIs) {
  EXPECT_EQ(SystemTextFromUtf8("alice 1.2.3.4"), "alice 1.2.3.4");
  EXPECT_EQ(Utf8FromSystemText("alice"), "alice");
  EXPECT_EQ(SystemTextFromUtf8(""), "");
  // No Windows ANSI code page holds a character outside the Basic Multilingual Plane.
  EXPECT_FALSE(SystemTextFromUtf8("a\xF0\x9F\x98\x80"));
  EXPECT_FALSE(SystemTextFromUtf8("\xC3")) << "text that is not UTF-8 at all";
  EXPECT_FALSE(FitsSystemCodePage("\xF0\x9F\x98\x80"));
}

TEST(SystemTextCodePage936, ConvertsAndCutsGbk) {
  if (::GetACP() != 936)
    GTEST_SKIP() << "the system code page is " << ::GetACP();
  EXPECT_EQ(SystemTextFromUtf8(kZhangSanUtf8), kZhangSanGbk);
  EXPECT_EQ(Utf8FromSystemText(kZhangSanGbk), kZhangSanUtf8);
  // Hangul has no form in code page 936; best fit would have given '?'.
  EXPECT_FALSE(SystemTextFromUtf8("\xE5\xBC\xA0\xED\x95\x9C"));
  EXPECT_FALSE(SystemTextFromUtf8("\xC3\xA0\xC5\x8D\xC3\xB0")) << "eth has no GBK form";

  EXPECT_EQ(SystemCharacterLength(0xD5), 2u);
  EXPECT_EQ(SystemCharacterLength('a'), 1u);
  EXPECT_EQ(CutSystemText(kZhangSanGbk, 3), "\xD5\xC5") << "never half a character";
  EXPECT_EQ(CutSystemText("a" + kZhangSanGbk, 4), "a\xD5\xC5");
  EXPECT_EQ(CutForSystemCodePage(kZhangSanUtf8, 3), "\xE5\xBC\xA0")
      << "the cut counts GBK bytes: 张 is two of them";
  EXPECT_EQ(CutForSystemCodePage(kZhangSanUtf8, 4), kZhangSanUtf8);
  // Every GBK byte pair that decodes comes back as the same bytes.
  for (int lead = 0x81; lead <= 0xFE; lead += 7) {
    for (int trail = 0x40; trail <= 0xFE; trail += 5) {
      if (trail == 0x7F)
        continue;
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = Utf8FromSystemText(bytes);
      if (utf8 == "\xEF\xBF\xBD" || utf8.empty())
        continue;  // not assigned in the code page
      EXPECT_EQ(SystemTextFromUtf8(utf8), bytes) << lead << " " << trail;
    }
  }
}

}  // namespace
}  // namespace quorin::platform
