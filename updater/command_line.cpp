#include "updater/command_line.h"

#include "common/text_tools.h"
#include "platform/system_text.h"

namespace quorin::updater {

std::optional<UpdaterArguments> ParseUpdaterArguments(const std::vector<std::string>& words) {
  if (words.size() != 3)
    return std::nullopt;
  UpdaterArguments arguments;
  arguments.rootNumber = static_cast<std::uint32_t>(AtoiReading(words[1]));
  arguments.keyPath = platform::CutForSystemCodePage(words[2], kMaxKeyPathBytes);
  return arguments;
}

std::string UsageText(std::string_view programPath) {
  std::string text = "Usage:\n\t";
  text += programPath;
  text += " <Registry key> <Registry path>";
  return text;
}

}  // namespace quorin::updater
