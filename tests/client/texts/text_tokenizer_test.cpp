#include "client/texts/text_tokenizer.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorin::client {
namespace {

std::vector<std::string> AllTokens(std::string_view text, char delimiter) {
  TextTokenizer tokenizer(text, delimiter);
  std::vector<std::string> tokens;
  while (tokenizer.HasMore())
    tokens.push_back(tokenizer.Next());
  return tokens;
}

using Tokens = std::vector<std::string>;

TEST(TextTokenizer, SplitsAtTheDelimiter) {
  EXPECT_EQ(AllTokens("a|b|c", '|'), (Tokens{"a", "b", "c"}));
  EXPECT_EQ(AllTokens("single", '|'), Tokens{"single"});
  EXPECT_EQ(AllTokens("", '|'), Tokens{});
}

TEST(TextTokenizer, HandlesLeadingDoubledAndTrailingDelimiters) {
  EXPECT_EQ(AllTokens("a||b", '|'), (Tokens{"a", "", "b"}));
  EXPECT_EQ(AllTokens("|a", '|'), (Tokens{"", "a"})) << "leading: empty first token";
  EXPECT_EQ(AllTokens("a|", '|'), Tokens{"a"}) << "trailing: no empty last token";
  EXPECT_EQ(AllTokens("a||", '|'), (Tokens{"a", ""}));
  EXPECT_EQ(AllTokens("|", '|'), Tokens{""}) << "a lone delimiter ends one empty token";
}

TEST(TextTokenizer, NextPastTheEndGivesEmptyTexts) {
  TextTokenizer tokenizer("x", '&');
  EXPECT_EQ(tokenizer.Next(), "x");
  EXPECT_FALSE(tokenizer.HasMore());
  EXPECT_EQ(tokenizer.Next(), "");
  EXPECT_EQ(tokenizer.Next(), "");
}

TEST(TextTokenizer, KeepsOnlyTheFirst1023Characters) {
  const std::string text = std::string(1020, 'a') + "|bcdef";
  const Tokens tokens = AllTokens(text, '|');
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[1], "bc");
}

}  // namespace
}  // namespace quorin::client
