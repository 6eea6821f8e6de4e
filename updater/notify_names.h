// The names of the updater's notification block and event. A waiting process builds the same
// names from the updater's folder and its own session number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorin::updater {

// The sum of the folder path's bytes, each read as a signed 8-bit value, in 32 bits.
std::uint32_t FolderByteSum(std::string_view folderBytes);

// "NewVersionInfoGot_" and the sum as an unsigned decimal (a negative sum prints as its 32-bit
// complement).
std::string NotifyBaseName(std::string_view folderBytes);

struct NotifyNames {
  std::string block;  // "Local\<base name><session>", at most 255 characters
  std::string event;  // the block name and "_Event"
};

// An empty base name is replaced by "DefaultSharedMemIntName".
NotifyNames NotifyNamesFor(std::string_view baseName, std::uint32_t session);

}  // namespace quorin::updater
