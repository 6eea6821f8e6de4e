#include "client/local/log_file.h"

#include <cstdio>
#include <mutex>

#include "client/app/format_time.h"
#include "client/protocol/field_split.h"
#include "common/text_tools.h"
#include "platform/clock.h"
#include "platform/stdio_file.h"

namespace quorin::client {
namespace {

constexpr std::string_view kTimeFormat = "%Y-%m-%d %H:%M:%S";
constexpr std::size_t kTimeBufferSize = 32;
constexpr std::size_t kMaxLineLength = 255;
constexpr int kImageInformation = 2;
constexpr int kImageProblem = 4;

// Appends from this process go out one at a time, so lines never interleave.
std::mutex g_appendMutex;

std::string LogPath(const ClientContext& context) {
  return context.Read([](const ClientState& state) { return state.logFileName.str(); });
}

// Reads one line of at most 255 characters; a longer line comes back in pieces. Nothing at
// the end of the file.
std::optional<std::string> ReadLine(std::FILE* file) {
  std::string line;
  int c = 0;
  while (line.size() < kMaxLineLength && (c = std::fgetc(file)) != EOF && c != '\n') {
    line += static_cast<char>(c);
  }
  if (line.size() == kMaxLineLength) {
    c = std::fgetc(file);
    if (c != '\n' && c != EOF)
      std::ungetc(c, file);
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
  const auto line = ReadLine(reader.get());
  if (!line) {
    reader.reset();
    return std::nullopt;
  }
  return ParseLogLine(*line);
}

}  // namespace

void AppendLogEntry(ClientContext& context, const Settings& settings, int type,
                    std::string_view message) {
  if (!settings.LogEnabled())
    return;
  const auto time =
      FormatTimeMs(kTimeFormat, platform::CurrentClock().LocalTime(), kTimeBufferSize);
  std::string line = std::to_string(type) + "|";
  line += ReplaceChar(ReplaceChar(message, '\r', ' '), '\n', ' ');
  line += "|" + time.value_or(std::string()) + "\n";

  const std::string path = LogPath(context);
  std::lock_guard lock(g_appendMutex);
  platform::StdioFile file = platform::OpenStdioFile(path, "a+");
  if (!file)
    return;
  std::fwrite(line.data(), 1, line.size(), file.get());
  std::fflush(file.get());
}

void AppendLogEntry(int type, std::string_view message) {
  AppendLogEntry(GetClientContext(), ProcessSettings(), type, message);
}

void ClearLog(const ClientContext& context) {
  std::lock_guard lock(g_appendMutex);
  platform::OpenStdioFile(LogPath(context), "w");
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
