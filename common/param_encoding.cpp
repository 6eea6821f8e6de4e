#include "common/param_encoding.h"

namespace quorin {
namespace {

bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '%' || c == '&' || c == '=' || c == '+' || c == '#' ||
         c == ' ';
}

std::string Encode(std::string_view text, bool escapeHighBytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte) || (escapeHighBytes && byte > 0x7F)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string EncodeParamText(std::string_view text) {
  return Encode(text, false);
}

std::string EncodeParamBytes(std::string_view text) {
  return Encode(text, true);
}

}  // namespace quorin
