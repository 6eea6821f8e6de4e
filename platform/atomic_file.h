// Changing small files so that a crash, a full disk or a concurrent reader never meets a
// half-written one.
//
// Replacing: the bytes go to a temporary file of this write alone beside the target
// ("<path>.tmp<process>-<n>"), are flushed to the disk, and the temporary file is then renamed
// over the target. Appending: the bytes are added whole, or the file is cut back to its old
// length.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorin::platform {

struct AtomicWriteOptions {
  // Called with the complete temporary file before it replaces the target; returning false
  // abandons the write there and leaves the temporary file, as a crash at that moment would.
  // For tests.
  std::function<bool(const std::string& temporary)> beforeReplace;
};

// True when `path` now holds exactly `bytes`. On failure the old file, if any, is left as it
// was and no temporary file remains. On POSIX the file is readable and writable by its owner
// only; a file being replaced passes on its owner bits when they are stricter (read-only).
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const AtomicWriteOptions& options = {});

// Removes the temporary files that writers of `path` killed before their rename left behind.
// Call it only while holding the lock that every writer of `path` takes: a temporary file of a
// writer that is still running would be removed too.
void RemoveStaleTemporaryFiles(const std::string& path);

// Appends `text` to the file at `path` (created when missing) whole or not at all: when the
// write stops part-way, a full disk for instance, the file is cut back to its old length, so the
// next append starts on a line of its own. Each '\n' is written as the system's line end of
// text files ("\r\n" on Windows), as the C library's text mode writes it. Appends and EmptyFile
// calls of all processes and threads are ordered by a lock on the file itself.
bool AppendTextWhole(const std::string& path, std::string_view text);

// Empties the file at `path`, creating it when missing, after an append in progress.
bool EmptyFile(const std::string& path);

}  // namespace quorin::platform
