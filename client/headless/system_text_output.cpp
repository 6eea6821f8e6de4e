#include "client/headless/system_text_output.h"

#include "platform/system_text.h"

namespace quorin::client {

SystemTextOutput::SystemTextOutput(std::ostream& stream)
    : stream_(stream), target_(stream.rdbuf(this)) {}

SystemTextOutput::~SystemTextOutput() {
  FlushLine();
  target_->pubsync();
  stream_.rdbuf(target_);
}

SystemTextOutput::int_type SystemTextOutput::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof()))
    return traits_type::not_eof(c);
  line_ += traits_type::to_char_type(c);
  // A line goes out whole, so a character is never converted in halves; a very long text
  // without line feeds is handed on in bounded parts.
  if (line_.back() == '\n' || line_.size() >= 4096) {
    if (!FlushLine())
      return traits_type::eof();
  }
  return c;
}

int SystemTextOutput::sync() {
  if (!FlushLine())
    return -1;
  return target_->pubsync();
}

bool SystemTextOutput::FlushLine() {
  if (line_.empty())
    return true;
  // A text the code page cannot write is shown as it stands rather than not at all.
  const std::string bytes = platform::SystemTextFromUtf8(line_).value_or(line_);
  line_.clear();
  return target_->sputn(bytes.data(), static_cast<std::streamsize>(bytes.size())) ==
         static_cast<std::streamsize>(bytes.size());
}

}  // namespace quorin::client
