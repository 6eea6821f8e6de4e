#include "client/texts/command_tokens.h"

#include <gtest/gtest.h>

namespace quorin::client {
namespace {

using Tokens = std::vector<std::string>;

TEST(SplitCommandTokens, SplitsAtSingleBlanks) {
  EXPECT_EQ(SplitCommandTokens(""), Tokens{});
  EXPECT_EQ(SplitCommandTokens("update.bat"), Tokens{"update.bat"});
  EXPECT_EQ(SplitCommandTokens("a b"), (Tokens{"a", "b"}));
  EXPECT_EQ(SplitCommandTokens("-silent user pass"), (Tokens{"-silent", "user", "pass"}));
}

TEST(SplitCommandTokens, TakesTheCharacterAfterABlankIntoTheNextToken) {
  EXPECT_EQ(SplitCommandTokens("a  b"), (Tokens{"a", " b"})) << "two blanks";
  EXPECT_EQ(SplitCommandTokens("a "), (Tokens{"a", ""})) << "a trailing blank";
  EXPECT_EQ(SplitCommandTokens(" a"), (Tokens{"", "a"})) << "a leading blank";
  EXPECT_EQ(SplitCommandTokens("a   b"), (Tokens{"a", " ", "b"}));
  EXPECT_EQ(SplitCommandTokens("\"a b\""), (Tokens{"\"a", "b\""})) << "quotes mean nothing";
}

TEST(SplitCommandTokens, LooksAtTheFirst128CharactersOnly) {
  const std::string exact(127, 'x');
  EXPECT_EQ(SplitCommandTokens(exact), Tokens{exact}) << "its end falls at position 127";
  EXPECT_EQ(SplitCommandTokens(std::string(128, 'x')), Tokens{})
      << "no end within 128 positions: nothing counts";
  EXPECT_EQ(SplitCommandTokens("a " + std::string(200, 'y')), Tokens{"a"})
      << "only tokens ended by a blank";
}

TEST(FileToDeleteAtStart, TakesTheOnlyTokenOrOneQuotedPath) {
  EXPECT_EQ(FileToDeleteAtStart("a.bat"), "a.bat");
  // The update batch's restart, in a temporary folder with and without blanks.
  EXPECT_EQ(FileToDeleteAtStart("\"C:\\Temp\\QuorinUpdate.bat\""), "C:\\Temp\\QuorinUpdate.bat");
  EXPECT_EQ(FileToDeleteAtStart("\"C:\\Documents and Settings\\x.bat\""),
            "C:\\Documents and Settings\\x.bat");
  EXPECT_EQ(FileToDeleteAtStart("\"C:\\T\\x.bat\" "), "C:\\T\\x.bat");
  EXPECT_EQ(FileToDeleteAtStart(""), std::nullopt);
  EXPECT_EQ(FileToDeleteAtStart("a b"), std::nullopt);
  EXPECT_EQ(FileToDeleteAtStart("\"a\" \"b\""), std::nullopt);  // two quoted words
  EXPECT_EQ(FileToDeleteAtStart("\"\""), "\"\"");  // no path inside: the token as it is
}

}  // namespace
}  // namespace quorin::client
