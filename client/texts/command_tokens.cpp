#include "client/texts/command_tokens.h"

namespace quorin::client {

std::vector<std::string> SplitCommandTokens(std::string_view arguments) {
  std::vector<std::string> tokens;
  if (arguments.empty())
    return tokens;
  // The walk sees the text followed by its terminating zero, like the C string it was.
  const auto at = [&](std::size_t i) { return i < arguments.size() ? arguments[i] : '\0'; };
  std::string current;
  std::size_t i = 0;
  while (i < kCommandLineScanLimit) {
    const char c = at(i);
    if (c == '\0') {
      tokens.push_back(current);
      return tokens;
    }
    if (c != ' ') {
      current += c;
      ++i;
      continue;
    }
    tokens.push_back(current);
    current.clear();
    const std::size_t next = i + 1;
    if (next >= kCommandLineScanLimit)
      break;
    if (at(next) == '\0') {
      tokens.emplace_back();  // a blank at the end leaves an empty last token
      return tokens;
    }
    current += at(next);  // taken without being tested as a delimiter
    i = next + 1;
  }
  return tokens;
}

std::optional<std::string> FileToDeleteAtStart(std::string_view arguments) {
  // A command interpreter may leave a blank after the last argument.
  std::string_view quoted = arguments;
  while (!quoted.empty() && quoted.back() == ' ')
    quoted.remove_suffix(1);
  if (quoted.size() > 2 && quoted.front() == '"' && quoted.back() == '"' &&
      quoted.find('"', 1) == quoted.size() - 1) {
    return std::string(quoted.substr(1, quoted.size() - 2));
  }
  const std::vector<std::string> tokens = SplitCommandTokens(arguments);
  if (tokens.size() != 1)
    return std::nullopt;
  return tokens.front();
}

}  // namespace quorin::client
