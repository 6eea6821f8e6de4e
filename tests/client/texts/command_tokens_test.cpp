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

}  // namespace
}  // namespace quorin::client
