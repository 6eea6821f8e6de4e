// Decoding the texts that disk drivers return: the ATA IDENTIFY words and the strings of a
// storage device descriptor. Pure functions of the bytes the driver handed back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorin::updater {

using IdentifyWords = std::array<std::uint16_t, 256>;

// The 256 little-endian words of a 512-byte IDENTIFY answer.
IdentifyWords IdentifyWordsFrom(const std::uint8_t* bytes);

// Words `first` to `last` as text, two characters per word, the high byte first. The text ends
// at its first NUL; white space before that end is cut, but never the first character.
std::string IdentifyText(const IdentifyWords& words, std::size_t first, std::size_t last);

// Serial (words 10 to 19) and model (words 27 to 46) of an IDENTIFY answer.
std::string IdentifySerial(const IdentifyWords& words);
std::string IdentifyModel(const IdentifyWords& words);

// The text at `offset` in a storage device descriptor of `size` bytes (an offset of 0 or less,
// or one outside the descriptor, gives an empty text; reading stops at a NUL or at the end of
// the descriptor). Drivers write serial numbers either as text or as hex digits of the text's
// bytes: the hex form is tried first (blanks count as "0", every two digits make a byte, a
// byte that is neither 0 nor printable makes it fail, a single digit left over is dropped),
// then the characters as they stand (empty when one is not printable). With `swapPairs`
// characters 0 and 1, 2 and 3, ... change places up to the first 0 byte (an odd last character
// changes places with that 0 and is lost). Blanks at both ends are cut.
std::string DescriptorText(const std::uint8_t* descriptor, std::size_t size, std::int64_t offset,
                           bool swapPairs);

// A serial text names a disk when its first or its twentieth character is a letter or digit
// (some drives put blanks in front of the serial).
bool IsAcceptableSerial(std::string_view serial);

// The C library's character classes in the "C" locale; bytes of 0x80 and above belong to none.
bool IsCSpace(char c);
bool IsCPrint(char c);
bool IsCAlnum(char c);

}  // namespace quorin::updater
