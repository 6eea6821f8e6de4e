// The first line of a password file or of standard input.
#include "platform/secret_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quorin::platform {
namespace {

// What ReadFirstLine makes of `bytes`, and where it leaves the stream.
std::pair<LineRead, std::string> ReadFrom(const std::string& bytes, std::size_t maxLength,
                                          long* position = nullptr) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  if (!file)
    return {LineRead::kFailed, "no temporary file"};
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::rewind(file.get());
  std::string line = "not touched";
  const LineRead result = ReadFirstLine(file.get(), maxLength, line);
  if (position != nullptr)
    *position = std::ftell(file.get());
  return {result, line};
}

TEST(ReadFirstLine, TakesTheFirstLineWithoutItsEnd) {
  long position = 0;
  EXPECT_EQ(ReadFrom("pa ss&=1\nsecond\n", 20, &position).second, "pa ss&=1");
  EXPECT_EQ(position, 9) << "nothing after the line end is read";
  EXPECT_EQ(ReadFrom("dos\r\nx", 20).second, "dos") << "a Windows line end";
  EXPECT_EQ(ReadFrom("no end", 20).second, "no end") << "as systemd-creds writes it";
  EXPECT_EQ(ReadFrom(" a\rb \n", 20).second, " a\rb ") << "only the line end is cut";
  EXPECT_EQ(ReadFrom("\nafter", 20), std::make_pair(LineRead::kLine, std::string()))
      << "an empty first line is empty, not the next line";
  EXPECT_EQ(ReadFrom("", 20), std::make_pair(LineRead::kNothing, std::string()));
}

TEST(ReadFirstLine, RefusesALineLongerThanTheLimit) {
  EXPECT_EQ(ReadFrom("12345\n", 5).second, "12345") << "exactly the limit";
  EXPECT_EQ(ReadFrom("12345\r\n", 5).second, "12345") << "the \\r is not counted";
  EXPECT_EQ(ReadFrom("12345", 5).second, "12345");
  for (const std::string& bytes :
       std::vector<std::string>{"123456\n", "123456", "12345\r6\n", std::string(10000, 'x')}) {
    EXPECT_EQ(ReadFrom(bytes, 5), std::make_pair(LineRead::kTooLong, std::string()))
        << bytes.size() << " bytes: no part of the line is handed on";
  }
}

}  // namespace
}  // namespace quorin::platform
