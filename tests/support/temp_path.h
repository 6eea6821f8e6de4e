// Names for test folders that no other test, test program or parallel run can share.
#pragma once

#include <filesystem>
#include <string>

namespace quorin::testing {

// A path in the system's temporary directory made of `stem`, this process's id, the time and
// a counter. Nothing is created.
std::filesystem::path UniqueTempPath(const std::string& stem);

}  // namespace quorin::testing
