// Small text helpers shared by the client and the updater.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorin {

// Removes blanks, carriage returns and line feeds at both ends.
std::string TrimText(std::string_view text);

// Replaces every occurrence of `from` by `to`.
std::string ReplaceChar(std::string_view text, char from, char to);

// The path up to (not including) its last backslash; empty when there is none.
std::string DirectoryOf(std::string_view path);

// `text` cut to at most `maxBytes` bytes. A UTF-8 sequence that the cut would split is
// dropped whole, so a cut text never ends in half a character.
std::string CutText(std::string_view text, std::size_t maxBytes);

// Bytes of a double-byte code page cut to at most `maxBytes`, walking the text from its start
// (a trail byte can look like a lead byte, so only a walk from the start tells them apart). A
// character whose trail byte would fall past the cut is dropped whole.
std::string CutDoubleByteText(std::string_view bytes, std::size_t maxBytes,
                              bool (*isLeadByte)(unsigned char));

// The integer reading of a text as the C library's atoi makes it: optional leading white
// space, an optional sign, then decimal digits up to the first non-digit; 0 when there are
// none. The value is accumulated in a signed 32-bit integer that wraps instead of
// overflowing, so "2147483650" reads as -2147483646.
std::int32_t AtoiReading(std::string_view text);

// ASCII-only case-insensitive comparisons (Windows names compare this way).
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

}  // namespace quorin
