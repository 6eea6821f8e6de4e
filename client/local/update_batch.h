// The batch file that finishes a self-update once the client has ended: it waits in
// holdon.exe until no client process is left, copies each downloaded file over the installed
// one, deletes the downloaded copy and starts the new client with the batch's own path, which
// the new client deletes at start-up.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::client {

inline constexpr std::string_view kUpdateBatchName = "QuorinUpdate.bat";
inline constexpr std::string_view kHoldOnProgram = "holdon.exe";

// `folder` (as the system gives it, with or without its trailing separator), the separator and
// `name` with every '/' turned into the separator: where a file of the offer goes. The
// separator is always added, as the batch has always written it ("C:\Temp\\a.dll" is the same
// file to Windows as "C:\Temp\a.dll").
std::string PathBelow(std::string_view folder, std::string_view name, char separator = '\\');

struct UpdateBatchPaths {
  std::string programDirectory;    // the running program's directory, no trailing separator
  std::string programPath;         // the running program's full path
  std::string temporaryDirectory;  // the user's temporary folder, as the system gives it
  std::string batchPath;           // where the batch itself is written
};

// The batch's lines, each ending in CR LF: the holdon.exe line, a copy and a del line per
// file, the restart line.
std::string UpdateBatchText(const UpdateBatchPaths& paths, const std::vector<std::string>& names);

// Turns a UTF-8 text into the bytes that the command interpreter reads; nothing when a
// character has no form there.
using BatchTextEncoder = std::function<std::optional<std::string>(std::string_view text)>;

// The batch as the command interpreter reads it: in the OEM code page on Windows (a batch in
// UTF-8 or in the ANSI code page would turn "C:\Users\José" into another folder), UTF-8 on POSIX.
struct EncodedUpdateBatch {
  std::string bytes;       // the batch file's bytes; empty when `unwritable` is set
  std::string unwritable;  // the first folder, path or file name the code page cannot write
};

// Encodes the batch of UpdateBatchText with `encode` (empty: the OEM code page). Every path
// of the batch is built from the four paths and the names, so one of them is named when the
// batch cannot be written.
EncodedUpdateBatch EncodeUpdateBatch(const UpdateBatchPaths& paths,
                                     const std::vector<std::string>& names,
                                     const BatchTextEncoder& encode = {});

// Writes the batch's bytes (replacing an old file). False when they could not be written whole.
bool WriteUpdateBatch(const std::string& batchPath, std::string_view bytes);

}  // namespace quorin::client
