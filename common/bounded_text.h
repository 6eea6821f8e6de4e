// A text field of a fixed capacity, as the client's records and files define them: a field
// of N bytes holds at most N - 1 bytes, and every assignment is cut to that length without
// splitting a character. The bytes counted are the text's own (UTF-8) unless `Cut` says
// otherwise: the fields that the servers, the files and the outside libraries define count
// bytes of the system code page (platform/system_bounded_text.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/text_tools.h"

namespace quorin {

// The cut of the text's own UTF-8 bytes.
struct Utf8ByteCut {
  static std::string Cut(std::string_view text, std::size_t maxBytes) {
    return CutText(text, maxBytes);
  }
};

template <std::size_t N, typename Cut = Utf8ByteCut>
class BoundedText {
  static_assert(N >= 2, "a text field needs room for one character and its terminator");

 public:
  static constexpr std::size_t kCapacity = N;
  static constexpr std::size_t kMaxLength = N - 1;

  BoundedText() = default;
  BoundedText(std::string_view text) : text_(Cut::Cut(text, kMaxLength)) {}      // NOLINT: implicit
  BoundedText(const char* text) : BoundedText(std::string_view(text)) {}         // NOLINT: implicit
  BoundedText(const std::string& text) : BoundedText(std::string_view(text)) {}  // NOLINT

  BoundedText& operator=(std::string_view text) {
    text_ = Cut::Cut(text, kMaxLength);
    return *this;
  }
  BoundedText& operator=(const char* text) { return *this = std::string_view(text); }
  BoundedText& operator=(const std::string& text) { return *this = std::string_view(text); }

  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }
  operator std::string_view() const { return text_; }  // NOLINT: implicit by design

  friend bool operator==(const BoundedText& a, std::string_view b) { return a.text_ == b; }

 private:
  std::string text_;
};

}  // namespace quorin
