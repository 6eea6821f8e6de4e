// Running code as it runs on a full disk, and the file facts that only POSIX systems have.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace quorin::testing {

// Runs `action` in a child process whose files cannot grow beyond `limitBytes` (RLIMIT_FSIZE,
// with SIGXFSZ ignored, so a write past the limit fails with EFBIG as a write to a full disk
// fails with ENOSPC). Returns `action`'s result, or -1 when the child did not end normally;
// nothing where the system offers no such limit (Windows).
std::optional<int> RunOnFullDisk(std::uint64_t limitBytes, const std::function<int()>& action);

// The permission bits of a file or directory (for example 0600); nothing where files have no
// POSIX modes (Windows).
std::optional<unsigned> PosixMode(const std::filesystem::path& path);

}  // namespace quorin::testing
