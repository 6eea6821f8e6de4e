#include "platform/system_text.h"

namespace quorin::platform {

bool FitsSystemCodePage(std::string_view text) {
  return SystemTextFromUtf8(text).has_value();
}

std::string CutForSystemCodePage(std::string_view text, std::size_t maxBytes) {
  const std::optional<std::string> system = SystemTextFromUtf8(text);
  if (!system)
    return CutSystemText(text, maxBytes);
  if (system->size() <= maxBytes)
    return std::string(text);
  return Utf8FromSystemText(CutSystemText(*system, maxBytes));
}

}  // namespace quorin::platform
