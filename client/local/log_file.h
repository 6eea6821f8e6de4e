// The client's event log: a text file of lines "type|message|time\n" (time as
// "%Y-%m-%d %H:%M:%S"), appended while the "isLog" option is on, read back entry by entry for
// the log page, and emptied on the user's request. Fields are not escaped, so a message that
// holds '|' reads back cut at that character.
//
// The file name comes from the record's `logFileName` ("quorin.log", relative to the current
// directory, which start-up makes the program's directory).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/local/settings.h"
#include "client/record/client_context.h"
#include "platform/system_bounded_text.h"

namespace quorin::client {

// Entry types.
inline constexpr int kLogInformation = 0;    // login, logout, address change
inline constexpr int kLogNoAddress = 1;      // no public address could be found
inline constexpr int kLogRequestFailed = 2;  // a request to the login server failed

struct LogEntry {
  int type = 0;
  platform::SystemBoundedText<200> message;
  platform::SystemBoundedText<30> time;
};

// Appends one entry with the current local time, when logging is on. Line breaks in the
// message become blanks so that one entry stays one line. The line is written whole or not at
// all (a full disk loses the entry, never half of it); failures lose the entry silently.
void AppendLogEntry(ClientContext& context, const Settings& settings, int type,
                    std::string_view message);
// The same for the process's record and settings.
void AppendLogEntry(int type, std::string_view message);

// Empties the file.
void ClearLog(const ClientContext& context);

// Closes a reader left open, opens the file and returns its first entry; nothing when the
// file cannot be opened or is empty. The reader stays in the record for NextLogEntry.
std::optional<LogEntry> OpenLogForReading(ClientContext& context);
// The next entry; nothing at the end of the file, where the reader is closed.
std::optional<LogEntry> NextLogEntry(ClientContext& context);

// One line (without its line end) as an entry: the type is the leading number (0 when there
// is none), then the message and the time; missing fields stay empty.
LogEntry ParseLogLine(std::string_view line);

// The line AppendLogEntry writes, with its line feed: "type|message|time\n", line breaks inside
// the message and the time written as blanks.
std::string FormatLogLine(int type, std::string_view message, std::string_view time);

// The entries the reader finds in a file's text (system code page bytes), in order: lines of
// at most 255 bytes, a longer line read in pieces that never split a character, each piece its
// own entry.
std::vector<LogEntry> ParseLogText(std::string_view text);

// What the log page shows: the oldest `maxLog` entries of the file, the newest of them first,
// with image 2 for information and image 4 for every other type.
struct LogViewerItem {
  int image = 0;
  std::string message;
  std::string time;
};
std::vector<LogViewerItem> LogViewerItems(ClientContext& context, int maxLog);

}  // namespace quorin::client
