// Verifying a staged file against the offer's checksum.
#pragma once

#include <string>
#include <string_view>

namespace quorin::updater {

// The MD5 digest text of the file's bytes (a file that cannot be opened counts as empty).
std::string FileMd5Text(const std::string& path);

// True when the file's digest text equals `expected` exactly (lowercase hex, nothing around
// it). Otherwise the file is deleted, so the next attempt downloads it from the start.
bool CheckMD5(const std::string& stagedPath, std::string_view expected);

}  // namespace quorin::updater
