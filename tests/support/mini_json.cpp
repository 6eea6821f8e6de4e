#include "tests/support/mini_json.h"

#include <cstdlib>

namespace quorin::testing {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    auto value = Value();
    SkipBlanks();
    if (!value || pos_ != text_.size())
      return std::nullopt;
    return value;
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }
  bool Take(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word)
      return false;
    pos_ += word.size();
    return true;
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::optional<std::string> String() {
    if (!Take('"'))
      return std::nullopt;
    std::string out;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"')
        return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size())
        return std::nullopt;
      const char e = text_[pos_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          if (pos_ + 4 > text_.size())
            return std::nullopt;
          const std::string hex(text_.substr(pos_, 4));
          pos_ += 4;
          AppendUtf8(out, static_cast<unsigned>(std::strtoul(hex.c_str(), nullptr, 16)));
          break;
        }
        default:
          out += e;
      }
    }
    return std::nullopt;
  }

  std::optional<JsonValue> Value() {
    SkipBlanks();
    if (pos_ >= text_.size())
      return std::nullopt;
    JsonValue value;
    const char c = text_[pos_];
    if (c == '"') {
      auto text = String();
      if (!text)
        return std::nullopt;
      value.kind = JsonValue::Kind::kString;
      value.text = std::move(*text);
    } else if (c == '{') {
      ++pos_;
      value.kind = JsonValue::Kind::kObject;
      if (Take('}'))
        return value;
      do {
        auto name = String();
        if (!name || !Take(':'))
          return std::nullopt;
        auto member = Value();
        if (!member)
          return std::nullopt;
        value.members[*name] = std::move(*member);
      } while (Take(','));
      if (!Take('}'))
        return std::nullopt;
    } else if (c == '[') {
      ++pos_;
      value.kind = JsonValue::Kind::kArray;
      if (Take(']'))
        return value;
      do {
        auto item = Value();
        if (!item)
          return std::nullopt;
        value.items.push_back(std::move(*item));
      } while (Take(','));
      if (!Take(']'))
        return std::nullopt;
    } else if (Word("true")) {
      value.kind = JsonValue::Kind::kBool;
      value.boolean = true;
    } else if (Word("false")) {
      value.kind = JsonValue::Kind::kBool;
    } else if (Word("null")) {
      value.kind = JsonValue::Kind::kNull;
    } else {
      const std::string rest(text_.substr(pos_, 64));
      char* end = nullptr;
      value.number = std::strtod(rest.c_str(), &end);
      if (end == rest.c_str())
        return std::nullopt;
      pos_ += static_cast<std::size_t>(end - rest.c_str());
      value.kind = JsonValue::Kind::kNumber;
    }
    return value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
  static const JsonValue kNull;
  const auto it = members.find(name);
  return it == members.end() ? kNull : it->second;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
  return Parser(text).Document();
}

std::string DecodeBase64(std::string_view text) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (const char c : text) {
    const int digit = Base64Digit(c);
    if (digit < 0)
      continue;
    bits = (bits << 6) | static_cast<unsigned>(digit);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFFu);
    }
  }
  return out;
}

}  // namespace quorin::testing
