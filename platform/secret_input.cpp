#include "platform/secret_input.h"

namespace quorin::platform {

LineRead ReadFirstLine(std::FILE* stream, std::size_t maxLength, std::string& line) {
  line.clear();
  bool tooLong = false;
  bool any = false;
  for (;;) {
    const int c = std::fgetc(stream);
    if (c == EOF) {
      if (std::ferror(stream)) {
        line.clear();
        return LineRead::kFailed;
      }
      break;
    }
    any = true;
    if (c == '\n')
      break;
    // Characters beyond the limit are read on to the line end but not kept, so that a long
    // line never grows the buffer.
    if (line.size() <= maxLength)
      line += static_cast<char>(c);
    else
      tooLong = true;
  }
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  if (tooLong || line.size() > maxLength) {
    line.clear();
    return LineRead::kTooLong;
  }
  return any ? LineRead::kLine : LineRead::kNothing;
}

}  // namespace quorin::platform
