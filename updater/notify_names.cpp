#include "updater/notify_names.h"

namespace quorin::updater {

namespace {
constexpr std::size_t kMaxNameLength = 255;
}  // namespace

std::uint32_t FolderByteSum(std::string_view folderBytes) {
  std::uint32_t sum = 0;
  for (const char c : folderBytes) {
    // Bytes 0x80 to 0xFF count as -128 to -1; unsigned arithmetic wraps as the 32-bit sum does.
    const auto byte = static_cast<std::uint8_t>(c);
    const std::int32_t value = byte >= 0x80 ? static_cast<std::int32_t>(byte) - 256 : byte;
    sum += static_cast<std::uint32_t>(value);
  }
  return sum;
}

std::string NotifyBaseName(std::string_view folderBytes) {
  return "NewVersionInfoGot_" + std::to_string(FolderByteSum(folderBytes));
}

NotifyNames NotifyNamesFor(std::string_view baseName, std::uint32_t session) {
  NotifyNames names;
  names.block = "Local\\";
  names.block += baseName.empty() ? std::string_view("DefaultSharedMemIntName") : baseName;
  names.block += std::to_string(session);
  if (names.block.size() > kMaxNameLength)
    names.block.resize(kMaxNameLength);
  names.event = names.block + "_Event";
  return names;
}

}  // namespace quorin::updater
