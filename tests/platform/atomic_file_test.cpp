#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_path.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/stdio_file.h"

namespace quorin::platform {
namespace {

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(WriteFileAtomically, ReplacesWholeOrLeavesTheOldFile) {
  const auto directory = quorin::testing::UniqueTempPath("quorin_atomic_file_test");
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  const auto target = directory / "data.bin";
  const std::string bytes("a\0b\r\nc", 6);
  ASSERT_TRUE(WriteFileAtomically(target.string(), bytes));
  EXPECT_EQ(Contents(target), bytes) << "bytes kept exactly, no line-end translation";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "short"));
  EXPECT_EQ(Contents(target), "short") << "an existing file is replaced";
  EXPECT_FALSE(std::filesystem::exists(directory / "data.bin.tmp"));

  EXPECT_FALSE(WriteFileAtomically((directory / "none" / "x").string(), "x"));
  EXPECT_FALSE(WriteFileAtomically("", "x"));
  // A directory in the target's place cannot be replaced; the temporary file goes away.
  std::filesystem::create_directories(directory / "taken");
  EXPECT_FALSE(WriteFileAtomically((directory / "taken").string(), "x"));
  EXPECT_FALSE(std::filesystem::exists(directory / "taken.tmp"));
  EXPECT_TRUE(std::filesystem::is_directory(directory / "taken"));

  // Names beyond ASCII are UTF-8 on every system.
  const std::u8string wideU8 = (directory / u8"\u7528\u6237.dat").u8string();
  const std::string wideName(wideU8.begin(), wideU8.end());
  ASSERT_TRUE(WriteFileAtomically(wideName, "w"));
  StdioFile file = OpenStdioFile(wideName, "rb");
  ASSERT_TRUE(file);
  EXPECT_EQ(std::fgetc(file.get()), 'w');
  file.reset();
  EXPECT_FALSE(OpenStdioFile((directory / "missing").string(), "rb"));
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace quorin::platform
