#include "client/protocol/request_builder.h"

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
  return EncodeParamText(name) + "=" + EncodeParamText(value) + "&";
}

std::string BuildBody(std::string_view parameters, bool isPost) {
  if (!isPost)
    return "\n";
  std::string body = "Content-Length:" + std::to_string(parameters.size()) + "\n\n";
  body.append(parameters).append("\n");
  return body;
}

}  // namespace quorin::client
