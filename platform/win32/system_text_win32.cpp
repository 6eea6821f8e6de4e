// The ANSI and OEM code pages through UTF-16, as the system's own A functions convert.
#include <windows.h>

#include <limits>

#include "common/text_tools.h"
#include "platform/system_text.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

bool FitsInt(std::size_t size) {
  return size <= static_cast<std::size_t>(std::numeric_limits<int>::max());
}

// The text in `codePage`, or nothing when a character has no form there.
std::optional<std::string> CodePageTextFromUtf8(UINT codePage, std::string_view text) {
  if (text.empty())
    return std::string();
  if (!FitsInt(text.size()))
    return std::nullopt;
  // A UTF-8 text that does not decode cannot be represented either.
  const int wideLength = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0);
  if (wideLength <= 0)
    return std::nullopt;
  // A system set to use UTF-8 as its code page writes every character as it is; the flag and
  // the default-character report below are refused for that code page.
  if (codePage == CP_UTF8)
    return std::string(text);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), wideLength);
  // Without WC_NO_BEST_FIT_CHARS the system would write a look-alike ("a" for "ā"); with it,
  // an unrepresentable character becomes the default character and lpUsedDefaultChar says so.
  BOOL usedDefault = FALSE;
  const int length = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                           nullptr, 0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault)
    return std::nullopt;
  std::string bytes(static_cast<std::size_t>(length), '\0');
  usedDefault = FALSE;
  ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, bytes.data(),
                        length, nullptr, &usedDefault);
  if (usedDefault)
    return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::string> SystemTextFromUtf8(std::string_view text) {
  return CodePageTextFromUtf8(::GetACP(), text);
}

std::optional<std::string> OemTextFromUtf8(std::string_view text) {
  return CodePageTextFromUtf8(::GetOEMCP(), text);
}

std::string Utf8FromSystemText(std::string_view bytes) {
  if (bytes.empty() || !FitsInt(bytes.size()))
    return std::string();
  const int wideLength =
      ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (wideLength <= 0)
    return std::string();
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        wideLength);
  return Utf8FromWide(wide);
}

std::size_t SystemCharacterLength(unsigned char leadByte) {
  return ::IsDBCSLeadByteEx(CP_ACP, leadByte) ? 2 : 1;
}

std::string CutSystemText(std::string_view bytes, std::size_t maxBytes) {
  return CutDoubleByteText(
      bytes, maxBytes, [](unsigned char byte) { return ::IsDBCSLeadByteEx(CP_ACP, byte) != 0; });
}

}  // namespace quorin::platform
