// Reads an HTTP/1.x response from the bytes a connection delivers, with Boost.Beast's parser
// (status line, fields, Content-Length, chunked and close-delimited bodies, interim 1xx
// answers). Beast stays inside this file pair; the HTTP backend sees texts and numbers only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorin::platform {

class HttpResponseParser {
 public:
  HttpResponseParser();
  ~HttpResponseParser();
  HttpResponseParser(const HttpResponseParser&) = delete;
  HttpResponseParser& operator=(const HttpResponseParser&) = delete;

  // Takes the next bytes received. False when they cannot be a response (the answer is then
  // unusable).
  bool Feed(std::string_view bytes);
  // The peer has closed its side. False when that cut the answer short: before the end of its
  // header, short of its Content-Length, or inside a chunked body.
  bool FeedEnd();

  // The final answer's header has arrived (interim 1xx answers are skipped).
  bool HeaderDone() const;
  int Status() const;
  std::optional<std::int64_t> ContentLength() const;
  // The "Location:" field, empty when there was none.
  const std::string& Location() const;
  // The whole answer has arrived.
  bool MessageDone() const;

  // Body bytes parsed and not yet taken.
  bool HasBody() const;
  std::string TakeBody();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorin::platform
