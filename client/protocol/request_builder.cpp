#include "client/protocol/request_builder.h"

#include "platform/system_text.h"

namespace quorin::client {

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
  // The server reads the system code page. A value the code page cannot write is sent empty,
  // never with '?' in its characters' places; the user's own texts are refused before any
  // request is built (FitsSystemCodePage), and the server's texts came from the code page.
  const std::string wire = platform::SystemTextFromUtf8(value).value_or(std::string());
  return EncodeParamText(name) + "=" + EncodeParamBytes(wire) + "&";
}

std::string BuildBody(std::string_view parameters, bool isPost) {
  if (!isPost)
    return "\n";
  std::string body = "Content-Length:" + std::to_string(parameters.size()) + "\n\n";
  body.append(parameters).append("\n");
  return body;
}

}  // namespace quorin::client
