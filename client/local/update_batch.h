// The batch file that finishes a self-update once the client has ended: it waits in
// holdon.exe until no client process is left, copies each downloaded file over the installed
// one, deletes the downloaded copy and starts the new client with the batch's own path, which
// the new client deletes at start-up.
#pragma once

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

// Writes the batch (replacing an old one). False when the file could not be written whole.
bool WriteUpdateBatch(const std::string& batchPath, std::string_view text);

}  // namespace quorin::client
