#include "updater/identify_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/adapters.h"
#include "updater/hardware_id.h"

namespace quorin::updater {
namespace {

IdentifyWords WordsWithText(std::size_t first, std::string_view text) {
  IdentifyWords words{};
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const auto high = static_cast<std::uint8_t>(text[i]);
    const auto low = static_cast<std::uint8_t>(i + 1 < text.size() ? text[i + 1] : 0);
    words[first + i / 2] = static_cast<std::uint16_t>((high << 8) | low);
  }
  return words;
}

TEST(IdentifyText, ReadsHighBytesFirstAndCutsTrailingBlanks) {
  IdentifyWords words{};
  words[10] = 0x5331;
  words[11] = 0x5A32;
  for (int i = 12; i <= 19; ++i)
    words[static_cast<std::size_t>(i)] = 0x2020;
  EXPECT_EQ(IdentifySerial(words), "S1Z2");

  words = WordsWithText(27, "ST3500418AS                             ");
  EXPECT_EQ(IdentifyModel(words), "ST3500418AS");
  words = WordsWithText(10, "                    ");
  EXPECT_EQ(IdentifySerial(words), " ") << "the first character is never cut";
  words = WordsWithText(10, "  9VM1ABCD          ");
  EXPECT_EQ(IdentifySerial(words), "  9VM1ABCD") << "leading blanks stay";
  words = WordsWithText(10, "AB\tC\r\n");
  EXPECT_EQ(IdentifySerial(words), "AB\tC") << "the text ends at its first NUL, then is trimmed";
  words = WordsWithText(10, std::string_view("AB  \0CD   ", 10));
  EXPECT_EQ(IdentifySerial(words), "AB") << "blanks before the NUL are cut";
  words = WordsWithText(10, std::string_view(" \0CD", 4));
  EXPECT_EQ(IdentifySerial(words), " ") << "still never the first character";
  EXPECT_EQ(IdentifySerial(IdentifyWords{}), "");

  std::uint8_t bytes[512] = {};
  bytes[20] = 0x31;  // word 10, low byte
  bytes[21] = 0x53;  // word 10, high byte
  EXPECT_EQ(IdentifyWordsFrom(bytes)[10], 0x5331) << "the answer's words are little-endian";
}

std::string Descriptor(std::size_t offset, std::string_view text) {
  std::string bytes(offset + text.size() + 1, '\0');
  std::memcpy(bytes.data() + offset, text.data(), text.size());
  return bytes;
}

std::string Decode(std::string_view text, bool swap, std::int64_t offset = 40) {
  const std::string bytes = Descriptor(40, text);
  return DescriptorText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), offset,
                        swap);
}

TEST(DescriptorText, DecodesHexSerialsAndSwapsPairs) {
  EXPECT_EQ(Decode("3451413932", false), "4QA92");
  EXPECT_EQ(Decode("3451413932", true), "Q49A") << "the fifth character is lost behind the NUL";
  EXPECT_EQ(Decode("20204457572d414d", true), "WD-WMA")
      << "blanks decoded from hex are cut after swapping";
  EXPECT_EQ(Decode("4 41", false), "@A") << "a blank counts as the digit 0";
  EXPECT_EQ(Decode("  57", false), "") << "so leading blanks decode to a 0 byte, which ends it";
  EXPECT_EQ(Decode("4142434", false), "ABC") << "a single digit left over is dropped";
  EXPECT_EQ(Decode("41420043", false), "AB") << "a decoded 0 byte ends the text";
  EXPECT_EQ(Decode("4142004344", true), "BA") << "and the pair swap stops there too";
  EXPECT_EQ(Decode("4142430044", true), "BA") << "an odd last character before the 0 is lost";
  EXPECT_EQ(Decode("4F4B", false), "OK") << "upper-case hex digits";
}

TEST(DescriptorText, FallsBackToTheCharactersAsTheyStand) {
  EXPECT_EQ(Decode("  WD-WCAV12345678  ", false), "WD-WCAV12345678")
      << "not hex: taken as text, blanks at both ends cut";
  EXPECT_EQ(Decode("ABCD", true), "BADC");
  EXPECT_EQ(Decode("0102", false), "0102")
      << "hex that decodes to unprintable bytes: the characters as they stand";
  EXPECT_EQ(Decode("Serial\x01", false), "") << "an unprintable character empties the text";
  EXPECT_EQ(Decode("Seri\xe9l", false), "");
  EXPECT_EQ(Decode("", false), "");
}

TEST(DescriptorText, StaysInsideTheDescriptor) {
  EXPECT_EQ(Decode("ABC", false, 0), "") << "offset 0";
  EXPECT_EQ(Decode("ABC", false, -5), "") << "negative offsets";
  EXPECT_EQ(Decode("ABC", false, 4000), "") << "an offset beyond the descriptor";
  const std::string unterminated = "xxxxABCD";
  EXPECT_EQ(DescriptorText(reinterpret_cast<const std::uint8_t*>(unterminated.data()),
                           unterminated.size(), 4, false),
            "ABCD")
      << "no NUL before the end: reading stops at the end";
}

TEST(IsAcceptableSerial, WantsALetterOrDigitFirstOrTwentieth) {
  EXPECT_TRUE(IsAcceptableSerial("S1Z2"));
  EXPECT_FALSE(IsAcceptableSerial(" "));
  EXPECT_FALSE(IsAcceptableSerial(""));
  EXPECT_FALSE(IsAcceptableSerial("-ABC"));
  EXPECT_TRUE(IsAcceptableSerial("            12345678")) << "blanks in front, digit at 20";
  EXPECT_FALSE(IsAcceptableSerial("            1234567-"));
  EXPECT_FALSE(
      IsAcceptableSerial("\xe9"
                         "BC"));
}

platform::NetworkAdapter Adapter(std::vector<std::uint8_t> address) {
  platform::NetworkAdapter adapter;
  adapter.hardwareAddress = std::move(address);
  return adapter;
}

TEST(MacList, ListsEachAdapterWithATrailingBlank) {
  const std::vector<platform::NetworkAdapter> two = {
      Adapter({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}),
      Adapter({0xde, 0xad, 0xbe, 0xef, 0x00, 0x01, 0x02, 0x03})};
  EXPECT_EQ(FormatMacList(two), "00-1A-2B-3C-4D-5E DE-AD-BE-EF-00-01 ")
      << "upper-case hex, the first six bytes only";
  EXPECT_EQ(FormatMacList(std::vector<platform::NetworkAdapter>{Adapter({0x01, 0x02})}),
            "01-02-00-00-00-00 ")
      << "a short address";
  EXPECT_EQ(FormatMacList(std::nullopt), "") << "an unreadable list";
  const std::vector<platform::NetworkAdapter> many(100, Adapter({1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(FormatMacList(many).size(), kMaxMacList);
}

TEST(HardwareId, DigestsSerialModelAndMacList) {
  EXPECT_EQ(HardwareIdFrom({}, ""), "d41d8cd98f00b204e9800998ecf8427e")
      << "no disk and no adapter: the MD5 of empty input";
  EXPECT_EQ(HardwareIdFrom({"S1Z2", "ST3500418AS"}, "00-1A-2B-3C-4D-5E "),
            HardwareIdFrom({"S1Z2ST3500418AS", ""}, "00-1A-2B-3C-4D-5E "))
      << "concatenated with nothing between";
  EXPECT_EQ(HardwareIdFrom({"S", "M"}, "L"), "751146a85f10a900a0f8abe2c3ae3cc7");  // MD5("SML")
}

}  // namespace
}  // namespace quorin::updater
