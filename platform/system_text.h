// Texts where bytes leave and enter the programs. Inside, texts are UTF-8; the wire, the
// profile and log files, Language.ini, the outside libraries and the console read and write
// the system code page (the ANSI code page on Windows: 936 on a Chinese system, 1252 on a
// Western one). On POSIX the system's texts are UTF-8 and both conversions are the identity.
//
// These are the only conversions to and from the system code page: every boundary calls
// them rather than converting by hand.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorin::platform {

// The text in the system code page, or nothing when a character has no form there. No
// best-fit substitute and no '?' is ever put in a character's place.
std::optional<std::string> SystemTextFromUtf8(std::string_view text);

// The text in the OEM code page, in which the command interpreter reads a batch file and the
// console shows text (936 on a Chinese system, 437 or 850 on a Western one, where it differs
// from the ANSI code page), or nothing when a character has no form there. On POSIX the
// identity, as above.
std::optional<std::string> OemTextFromUtf8(std::string_view text);

// Bytes of the system code page as UTF-8. A byte the code page cannot read (a lone lead byte
// at the end, say) becomes U+FFFD rather than being dropped silently.
std::string Utf8FromSystemText(std::string_view bytes);

// Whether the text can be written in the system code page.
bool FitsSystemCodePage(std::string_view text);

// Bytes of the system code page cut to at most `maxBytes` without splitting a character:
// a double-byte character whose second byte would fall past the cut is dropped whole.
std::string CutSystemText(std::string_view bytes, std::size_t maxBytes);

// The number of bytes of the character that starts with `leadByte` in the system code page:
// 2 for a lead byte of a double-byte code page, the sequence length of a UTF-8 lead byte on
// POSIX, else 1. Readers that take a text in pieces use it to keep characters whole.
std::size_t SystemCharacterLength(unsigned char leadByte);

// A UTF-8 text cut so that its system-code-page form holds at most `maxBytes` bytes, never
// splitting a character. A text the code page cannot represent is cut by its UTF-8 bytes.
std::string CutForSystemCodePage(std::string_view text, std::size_t maxBytes);

}  // namespace quorin::platform
