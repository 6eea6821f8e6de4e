// "quorin.log" can hold anything: lines of earlier versions, hand edits, a half line from a
// crash. Reading it back must give bounded entries of one line each, and every entry the
// client writes must read back as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/local/log_file.h"
#include "platform/system_text.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::client::FormatLogLine;
using quorin::client::LogEntry;
using quorin::client::ParseLogText;

void Require(bool condition) {
  if (!condition)
    std::abort();
}

std::size_t FileBytes(const std::string& text) {
  const auto inFile = quorin::platform::SystemTextFromUtf8(text);
  return inFile ? inFile->size() : (text.size() + 2) / 3;
}

bool OneField(std::string_view text) {
  return text.find('|') == std::string_view::npos && text.find('\n') == std::string_view::npos;
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n')
      c = ' ';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Any text: every entry comes from at least one byte and holds one field per part.
  const auto entries = ParseLogText(text);
  Require(entries.size() <= size);
  std::size_t lineFeeds = 0;
  for (const char c : text)
    lineFeeds += c == '\n' ? 1 : 0;
  Require(entries.size() <= lineFeeds + 1 + size / 255);
  for (const LogEntry& entry : entries) {
    // The limits count bytes of the file's code page; as UTF-8 a byte may take up to three.
    Require(FileBytes(entry.message.str()) <= 199 && FileBytes(entry.time.str()) <= 29);
    Require(OneField(entry.message) && OneField(entry.time));
  }

  // An entry the client writes: the type from the first bytes, then message and time.
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4 && i < size; ++i)
    bits = bits << 8 | data[i];
  const int type = static_cast<int>(static_cast<std::int32_t>(bits));
  const std::string_view rest = text.substr(size < 4 ? size : 4);
  const std::size_t split = rest.find('\0');
  const std::string_view message = rest.substr(0, split).substr(0, 199);
  const std::string_view time =
      split == std::string_view::npos ? std::string_view() : rest.substr(split + 1).substr(0, 29);
  const std::string line = FormatLogLine(type, message, time);
  Require(!line.empty() && line.find('\n') == line.size() - 1);

  const auto written = ParseLogText(line + line);
  const std::string expectedMessage = WithoutLineBreaks(message);
  const std::string expectedTime = WithoutLineBreaks(time);
  // Fields are not escaped, and the reader trims the line's end (the time's end; a line with
  // an empty time ends with its bar): only such texts come back as they were.
  // The file is in the system code page: a text it cannot write is not kept as written.
  const bool readsBack = OneField(expectedMessage) && OneField(expectedTime) &&
                         (expectedTime.empty() || expectedTime.back() != ' ') &&
                         quorin::platform::FitsSystemCodePage(expectedMessage) &&
                         quorin::platform::FitsSystemCodePage(expectedTime);
  Require(written.size() == 2);  // a written entry is always one line of at most 255 characters
  if (readsBack) {
    for (const LogEntry& entry : written) {
      Require(entry.type == type);
      Require(entry.message.str() == expectedMessage);
      Require(entry.time.str() == expectedTime);
    }
  }
  return 0;
}
