// Replacing a small file whole, so that a crash, a full disk or a concurrent reader never
// meets a half-written file: the bytes go to a temporary file beside the target, are flushed
// to the disk, and the temporary file is then renamed over the target.
#pragma once

#include <string>
#include <string_view>

namespace quorin::platform {

// True when `path` now holds exactly `bytes`. On failure the old file, if any, is left as it
// was and no temporary file remains.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace quorin::platform
