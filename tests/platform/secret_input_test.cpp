// The first line of a password file or of standard input.
#include "platform/secret_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quorin::platform {
namespace {

struct Read {
  LineRead result;
  std::string line;
  long position;  // where the stream stands afterwards
};

Read ReadFrom(const std::string& bytes, std::size_t maxLength) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  EXPECT_TRUE(file);
  if (!file)
    return {LineRead::kFailed, "", 0};
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::rewind(file.get());
  Read read{LineRead::kFailed, "not touched", 0};
  read.result = ReadFirstLine(file.get(), maxLength, read.line);
  read.position = std::ftell(file.get());
  return read;
}

TEST(ReadFirstLine, TakesTheFirstLineWithoutItsEnd) {
  Read read = ReadFrom("pa ss&=1\nsecond line\n", 20);
  EXPECT_EQ(read.result, LineRead::kLine);
  EXPECT_EQ(read.line, "pa ss&=1") << "blanks and signs are part of a password";
  EXPECT_EQ(read.position, 9) << "nothing after the line end is read";

  read = ReadFrom("dos\r\nx", 20);
  EXPECT_EQ(read.line, "dos") << "a Windows line end";
  read = ReadFrom("no end", 20);
  EXPECT_EQ(read.result, LineRead::kLine);
  EXPECT_EQ(read.line, "no end") << "a file without a line end (printf, systemd-creds)";
  read = ReadFrom(" a\rb \n", 20);
  EXPECT_EQ(read.line, " a\rb ") << "only the line end is cut";

  read = ReadFrom("\nafter", 20);
  EXPECT_EQ(read.result, LineRead::kLine);
  EXPECT_EQ(read.line, "") << "an empty first line is empty, not the next line";
  read = ReadFrom("", 20);
  EXPECT_EQ(read.result, LineRead::kNothing);
  EXPECT_EQ(read.line, "");
}

TEST(ReadFirstLine, RefusesALineLongerThanTheLimit) {
  EXPECT_EQ(ReadFrom("12345\n", 5).line, "12345") << "exactly the limit";
  EXPECT_EQ(ReadFrom("12345\r\n", 5).line, "12345") << "the \\r is not counted";
  EXPECT_EQ(ReadFrom("12345", 5).line, "12345");
  for (const std::string& bytes :
       std::vector<std::string>{"123456\n", "123456", "12345\r6\n", std::string(10000, 'x')}) {
    const Read read = ReadFrom(bytes, 5);
    EXPECT_EQ(read.result, LineRead::kTooLong) << bytes.size();
    EXPECT_EQ(read.line, "") << "no part of it is handed on";
  }
}

}  // namespace
}  // namespace quorin::platform
