#include "client/texts/text_tokenizer.h"

#include "common/text_tools.h"

namespace quorin::client {

TextTokenizer::TextTokenizer(std::string_view text, char delimiter)
    : text_(text.substr(0, kMaxTextLength)), delimiter_(delimiter) {}

bool TextTokenizer::HasMore() const {
  return position_ < static_cast<std::ptrdiff_t>(text_.size()) - 1;
}

std::string TextTokenizer::Next() {
  if (!HasMore())
    return std::string();
  const std::size_t start = static_cast<std::size_t>(position_ + 1);
  std::size_t end = text_.find(delimiter_, start);
  if (end == std::string::npos)
    end = text_.size();
  position_ = static_cast<std::ptrdiff_t>(end);
  return text_.substr(start, end - start);
}

}  // namespace quorin::client
