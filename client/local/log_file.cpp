#include "client/local/log_file.h"

#include <cstdio>

#include "client/texts/field_split.h"
#include "client/texts/format_time.h"
#include "common/text_tools.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/stdio_file.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

constexpr std::string_view kTimeFormat = "%Y-%m-%d %H:%M:%S";
constexpr std::size_t kTimeBufferSize = 32;
constexpr std::size_t kMaxLineLength = 255;
constexpr int kImageInformation = 2;
constexpr int kImageProblem = 4;

std::string LogPath(const ClientContext& context) {
  return context.Read([](const ClientState& state) { return state.logFileName.str(); });
}

// The open log file as a source of characters.
struct FileCharacters {
  std::FILE* file;
  int Get() { return std::fgetc(file); }
  void Unget(int c) { std::ungetc(c, file); }
};

// A file's text as a source of characters, read as the C library reads the file.
struct TextCharacters {
  std::string_view text;
  std::size_t at = 0;
  int Get() { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; }
  void Unget(int) { --at; }
};

// Reads one line of at most 255 characters; a longer line comes back in pieces. Nothing at
// the end of the file. One reading for the file and for its text, so that the fuzzed text
// reader is the file reader.
// A piece ends before a character that would not fit whole, so a double-byte character of
// the system code page is never split between two pieces.
template <typename Characters>
std::optional<std::string> ReadLine(Characters& source) {
  std::string line;
  int c = 0;
  std::size_t characterLeft = 0;  // bytes of the current character still to come
  while (line.size() < kMaxLineLength && (c = source.Get()) != EOF && c != '\n') {
    if (characterLeft == 0) {
      const std::size_t length = platform::SystemCharacterLength(static_cast<unsigned char>(c));
      if (!line.empty() && line.size() + length > kMaxLineLength) {
        source.Unget(c);
        return line;
      }
      characterLeft = length;
    }
    --characterLeft;
    line += static_cast<char>(c);
  }
  if (line.size() == kMaxLineLength) {
    c = source.Get();
    if (c != '\n' && c != EOF)
      source.Unget(c);
    return line;
  }
  if (c == EOF && line.empty())
    return std::nullopt;
  return line;
}

std::optional<LogEntry> ReadEntry(ClientContext& context) {
  UniqueFile& reader = context.LogReader();
  if (!reader)
    return std::nullopt;
  FileCharacters source{reader.get()};
  const auto line = ReadLine(source);
  if (!line) {
    reader.reset();
    return std::nullopt;
  }
  return ParseLogLine(platform::Utf8FromSystemText(*line));
}

}  // namespace

void AppendLogEntry(ClientContext& context, const Settings& settings, int type,
                    std::string_view message) {
  if (!settings.LogEnabled())
    return;
  const auto time =
      FormatTimeMs(kTimeFormat, platform::CurrentClock().LocalTime(), kTimeBufferSize);
  const std::string utf8 = FormatLogLine(type, message, time.value_or(std::string()));
  // The file is in the system code page, as the log page and earlier installations read it.
  // The client's texts come from its code-page resources and the servers, so a message the
  // code page cannot write is rare; its entry is kept without the message rather than lost.
  const std::string line = platform::SystemTextFromUtf8(utf8).value_or(
      platform::SystemTextFromUtf8(FormatLogLine(type, "", time.value_or(std::string())))
          .value_or(std::string()));
  // The platform's lock on the file orders appends of all threads and processes.
  platform::AppendTextWhole(LogPath(context), line);
}

void AppendLogEntry(int type, std::string_view message) {
  AppendLogEntry(GetClientContext(), ProcessSettings(), type, message);
}

void ClearLog(const ClientContext& context) {
  platform::EmptyFile(LogPath(context));
}

std::optional<LogEntry> OpenLogForReading(ClientContext& context) {
  UniqueFile& reader = context.LogReader();
  reader.reset();
  reader.reset(platform::OpenStdioFile(LogPath(context), "r").release());
  return ReadEntry(context);
}

std::optional<LogEntry> NextLogEntry(ClientContext& context) {
  return ReadEntry(context);
}

LogEntry ParseLogLine(std::string_view line) {
  LogEntry entry;
  const std::string trimmed = TrimText(line);
  const auto fields = SplitFields(trimmed, '|');
  if (fields.size() > 0)
    entry.type = AtoiReading(fields[0]);
  if (fields.size() > 1)
    entry.message = fields[1];
  if (fields.size() > 2)
    entry.time = fields[2];
  return entry;
}

std::string FormatLogLine(int type, std::string_view message, std::string_view time) {
  const auto oneLine = [](std::string_view text) {
    return ReplaceChar(ReplaceChar(text, '\r', ' '), '\n', ' ');
  };
  return std::to_string(type) + "|" + oneLine(message) + "|" + oneLine(time) + "\n";
}

std::vector<LogEntry> ParseLogText(std::string_view text) {
  std::vector<LogEntry> entries;
  TextCharacters source{text};
  while (const auto line = ReadLine(source))
    entries.push_back(ParseLogLine(platform::Utf8FromSystemText(*line)));
  return entries;
}

std::vector<LogViewerItem> LogViewerItems(ClientContext& context, int maxLog) {
  std::vector<LogViewerItem> items;
  if (maxLog <= 0)
    return items;
  auto entry = OpenLogForReading(context);
  while (entry && static_cast<int>(items.size()) < maxLog) {
    items.insert(items.begin(), LogViewerItem{entry->type != 0 ? kImageProblem : kImageInformation,
                                              entry->message.str(), entry->time.str()});
    entry = NextLogEntry(context);
  }
  // The page reads no further; the file need not stay open until the next fill.
  context.LogReader().reset();
  return items;
}

}  // namespace quorin::client
