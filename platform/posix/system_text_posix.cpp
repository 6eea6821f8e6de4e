// On POSIX systems the system's texts are UTF-8: the conversions hand the bytes on as they are.
#include "common/text_tools.h"
#include "platform/system_text.h"

namespace quorin::platform {

std::optional<std::string> SystemTextFromUtf8(std::string_view text) {
  return std::string(text);
}

std::optional<std::string> OemTextFromUtf8(std::string_view text) {
  return std::string(text);
}

std::string Utf8FromSystemText(std::string_view bytes) {
  return std::string(bytes);
}

std::size_t SystemCharacterLength(unsigned char leadByte) {
  if (leadByte >= 0xF0 && leadByte < 0xF8)
    return 4;
  if (leadByte >= 0xE0 && leadByte < 0xF0)
    return 3;
  if (leadByte >= 0xC0 && leadByte < 0xE0)
    return 2;
  return 1;
}

std::string CutSystemText(std::string_view bytes, std::size_t maxBytes) {
  return CutText(bytes, maxBytes);
}

}  // namespace quorin::platform
