#include "platform/profile_text.h"

#include "common/text_tools.h"

namespace quorin::platform {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::string FindProfileText(std::string_view content, std::string_view section,
                            std::string_view name) {
  bool inSection = false;
  std::size_t start = 0;
  while (start <= content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos)
      end = content.size();
    const std::string_view line = TrimBlanks(content.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      inSection = close != std::string_view::npos &&
                  EqualsIgnoreCase(TrimBlanks(line.substr(1, close - 1)), TrimBlanks(section));
      continue;
    }
    if (!inSection)
      continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      continue;
    if (!EqualsIgnoreCase(TrimBlanks(line.substr(0, equals)), TrimBlanks(name)))
      continue;
    std::string_view value = TrimBlanks(line.substr(equals + 1));
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\''))) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::string();
}

}  // namespace quorin::platform
