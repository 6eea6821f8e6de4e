#include "client/protocol/request_builder.h"

namespace quorin::client {
namespace {

bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '%' || c == '&' || c == '=' || c == '+' || c == '#' ||
         c == ' ';
}

}  // namespace

std::string BuildRequestLine(std::string_view path, bool isPost) {
  std::string line;
  if (isPost) {
    line.append("POST ").append(path).append(" HTTP/1.0\n");
    line.append("Content-Type:application/x-www-form-urlencoded\n");
  } else {
    line.append("GET  ").append(path).append("?");
  }
  return line;
}

std::string BuildParam(std::string_view name, std::string_view value) {
  return EncodeParamText(name) + "=" + EncodeParamText(value) + "&";
}

std::string BuildBody(std::string_view parameters, bool isPost) {
  if (!isPost)
    return "\n";
  std::string body = "Content-Length:" + std::to_string(parameters.size()) + "\n\n";
  body.append(parameters).append("\n");
  return body;
}

std::string EncodeParamText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quorin::client
