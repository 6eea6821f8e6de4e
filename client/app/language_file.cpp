#include "client/app/language_file.h"

#include <windows.h>

#include <vector>

#include "common/text_tools.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {

std::string ReadLanguageText(std::string_view section, std::string_view key,
                             std::size_t bufferBytes) {
  if (bufferBytes < 2)
    return std::string();
  // A wide buffer of the same count of characters holds at least as much text as the byte
  // buffer; the UTF-8 result is cut to the byte count afterwards.
  std::vector<wchar_t> buffer(bufferBytes, L'\0');
  const std::wstring wideSection = platform::WideFromUtf8(section);
  const std::wstring wideKey = platform::WideFromUtf8(key);
  const DWORD length =
      ::GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), L".\\Language.ini");
  const std::string text = platform::Utf8FromWide(std::wstring_view(buffer.data(), length));
  return CutText(text, bufferBytes - 1);
}

}  // namespace quorin::client
