// Splits a text at one delimiter character. "a|b|c" gives a, b, c; "a||b" gives a, an empty
// token, b; a leading delimiter gives an empty first token; a trailing one gives no empty last
// token. The text is copied at construction, at most its first 1023 characters.
#pragma once

#include <string>
#include <string_view>

namespace quorin::client {

class TextTokenizer {
 public:
  static constexpr std::size_t kMaxTextLength = 1023;

  TextTokenizer(std::string_view text, char delimiter);

  // True while at least one character follows the current position.
  bool HasMore() const;
  // The next token; empty when there is none.
  std::string Next();

 private:
  std::string text_;
  char delimiter_;
  std::ptrdiff_t position_ = -1;  // the delimiter that ended the previous token
};

}  // namespace quorin::client
