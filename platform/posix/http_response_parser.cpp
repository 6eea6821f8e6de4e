#include "platform/posix/http_response_parser.h"

#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

#include <limits>

namespace quorin::platform {
namespace {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

// The answer's fields the backend needs, and its body as it arrives.
class Parser final : public http::basic_parser<false> {
 public:
  Parser() {
    // The caller bounds a body by time and by what it keeps; the parser must not cut a large
    // download. A header beyond 64 KiB is no answer of the provider's.
    body_limit(std::numeric_limits<std::uint64_t>::max());
    header_limit(64 * 1024);
    eager(true);
  }

  int status = 0;
  std::optional<std::int64_t> contentLength;
  std::string location;
  std::string body;

 private:
  void on_request_impl(http::verb, string_view, string_view, int, error_code& ec) override {
    ec = http::error::bad_method;  // a request where an answer belongs
  }
  void on_response_impl(int code, string_view, int, error_code&) override { status = code; }
  void on_field_impl(http::field name, string_view, string_view value, error_code&) override {
    if (name == http::field::location)
      location.assign(value.data(), value.size());
  }
  void on_header_impl(error_code&) override {
    const auto length = content_length();
    if (length && *length <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
      contentLength = static_cast<std::int64_t>(*length);
  }
  void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
  std::size_t on_body_impl(string_view piece, error_code&) override {
    body.append(piece.data(), piece.size());
    return piece.size();
  }
  void on_chunk_header_impl(std::uint64_t, string_view, error_code&) override {}
  std::size_t on_chunk_body_impl(std::uint64_t, string_view piece, error_code&) override {
    body.append(piece.data(), piece.size());
    return piece.size();
  }
  void on_finish_impl(error_code&) override {}
};

}  // namespace

struct HttpResponseParser::Impl {
  std::unique_ptr<Parser> parser = std::make_unique<Parser>();
  std::string input;  // bytes not yet taken by the parser (an incomplete header)
  bool failed = false;

  // An interim answer (100 Continue, 103 Early Hints) ends with its header; the real answer
  // follows on the same connection.
  bool InterimDone() const {
    return parser->is_header_done() && parser->status >= 100 && parser->status < 200 &&
           parser->status != 101;
  }

  bool Parse() {
    while (!failed && !input.empty()) {
      if (parser->is_done()) {
        if (!InterimDone())
          return true;  // bytes after the answer's end are not the answer's
        parser = std::make_unique<Parser>();
      }
      error_code ec;
      const std::size_t used = parser->put(boost::asio::buffer(input.data(), input.size()), ec);
      input.erase(0, used);
      if (ec == http::error::need_more)
        return true;
      if (ec) {
        failed = true;
        return false;
      }
      if (used == 0 && !parser->is_done())
        return true;
    }
    if (parser->is_done() && InterimDone())
      parser = std::make_unique<Parser>();
    return !failed;
  }
};

HttpResponseParser::HttpResponseParser() : impl_(std::make_unique<Impl>()) {}
HttpResponseParser::~HttpResponseParser() = default;

bool HttpResponseParser::Feed(std::string_view bytes) {
  if (impl_->failed)
    return false;
  impl_->input.append(bytes);
  return impl_->Parse();
}

bool HttpResponseParser::FeedEnd() {
  if (impl_->failed)
    return false;
  if (impl_->parser->is_done())
    return true;
  // A close before the parser took a byte (no answer at all, or a piece of a status line):
  // no answer. Beast's put_eof may only follow some input.
  if (!impl_->parser->got_some()) {
    impl_->failed = true;
    return false;
  }
  error_code ec;
  impl_->parser->put_eof(ec);
  if (ec)
    impl_->failed = true;
  return !ec;
}

bool HttpResponseParser::HeaderDone() const {
  return impl_->parser->is_header_done() && !impl_->InterimDone();
}
int HttpResponseParser::Status() const {
  return impl_->parser->status;
}
std::optional<std::int64_t> HttpResponseParser::ContentLength() const {
  return impl_->parser->contentLength;
}
const std::string& HttpResponseParser::Location() const {
  return impl_->parser->location;
}
bool HttpResponseParser::MessageDone() const {
  return impl_->parser->is_done() && !impl_->InterimDone();
}
bool HttpResponseParser::HasBody() const {
  return !impl_->parser->body.empty();
}

std::string HttpResponseParser::TakeBody() {
  std::string taken;
  taken.swap(impl_->parser->body);
  return taken;
}

}  // namespace quorin::platform
