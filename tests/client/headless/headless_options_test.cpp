#include "client/headless/headless_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorin::client {
namespace {

TEST(HeadlessOptions, RecognisesTheSilentSwitchInEveryForm) {
  for (const char* word : {"-silent", "/silent", "-SILENT", "/Silent"}) {
    const HeadlessOptions options = ParseHeadlessOptions({word, "alice", "pa ss&+"});
    ASSERT_TRUE(options.silent.has_value()) << word;
    EXPECT_EQ(options.silent->user, "alice");
    EXPECT_EQ(options.silent->password, "pa ss&+") << "passwords are taken whole";
    EXPECT_EQ(options.error, "");
  }
  EXPECT_FALSE(IsSilentSwitch("silent"));
  EXPECT_FALSE(IsSilentSwitch("--silent"));
  EXPECT_FALSE(IsSilentSwitch("-silently"));
}

TEST(HeadlessOptions, RejectsIncompleteAndUnknownCommandLines) {
  EXPECT_NE(ParseHeadlessOptions({"-silent", "alice"}).error, "") << "no password";
  EXPECT_FALSE(ParseHeadlessOptions({"-silent", "alice"}).silent.has_value());
  EXPECT_NE(ParseHeadlessOptions({"alice", "secret"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--store"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--store", ""}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"-silent", "a", "b", "c"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--time-scale", "fast"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--time-scale", "0.5"}).error, "") << "never slower";
  EXPECT_NE(ParseHeadlessOptions({"--time-scale", "60x"}).error, "");
}

TEST(HeadlessOptions, TakesOptionsBeforeTheAccount) {
  const HeadlessOptions options =
      ParseHeadlessOptions({"--store", "/srv/q", "--time-scale", "60", "/silent", "u", "p"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.storeDirectory, "/srv/q");
  EXPECT_DOUBLE_EQ(options.timeScale, 60.0);
  ASSERT_TRUE(options.silent.has_value());
  // A user called "--store" is still a user once the account has begun.
  const HeadlessOptions odd = ParseHeadlessOptions({"-silent", "--store", "x"});
  ASSERT_TRUE(odd.silent.has_value());
  EXPECT_EQ(odd.silent->user, "--store");
  EXPECT_FALSE(odd.storeDirectory.has_value());
}

TEST(HeadlessOptions, PasswordFileRememberAndForget) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{"--password-file", "/run/pw", "-silent", "alice"},
                                             {"-silent", "alice", "--password-file", "/run/pw"}}) {
    const HeadlessOptions options = ParseHeadlessOptions(arguments);
    EXPECT_EQ(options.error, "") << arguments[0];
    EXPECT_EQ(options.silent->user, "alice");
    EXPECT_EQ(options.silent->password, "") << "it comes from the file";
    EXPECT_EQ(options.passwordFile, "/run/pw");
  }
  // Without a following file name, "--password-file" is a password like any other.
  EXPECT_EQ(ParseHeadlessOptions({"-silent", "a", "--password-file"}).silent->password,
            "--password-file");

  HeadlessOptions options = ParseHeadlessOptions({"--remember", "al", "--password-file", "f"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.command, HeadlessCommand::kRemember);
  EXPECT_EQ(options.accountUser, "al");
  EXPECT_EQ(options.passwordFile, "f");
  options = ParseHeadlessOptions({"--forget", "bob"});
  EXPECT_EQ(options.command, HeadlessCommand::kForget);
  EXPECT_EQ(options.accountUser, "bob");

  for (const auto& wrong : std::vector<std::vector<std::string>>{
           {"--password-file", "f", "-silent", "a", "pw"},  // two passwords
           {"--password-file", "f", "-silent"},             // no user
           {"--password-file", "f"},                        // nothing to log in
           {"--remember", "a", "secret"},                   // never a password argument
           {"--remember", "a", "--forget", "b"},
           {"--remember", "a", "-silent", "a", "pw"},
           {"--forget", "a", "--password-file", "f"}}) {
    EXPECT_NE(ParseHeadlessOptions(wrong).error, "") << wrong.back();
  }
  const std::string usage = HeadlessUsage("quorinfree");
  for (const char* text : {"--remember USER", "--forget USER", "--password-file FILE", "  3  "})
    EXPECT_NE(usage.find(text), std::string::npos) << text;
}

TEST(HeadlessOptions, NoArgumentsMeansTheRememberedAccountAndHelpWins) {
  const HeadlessOptions none = ParseHeadlessOptions({});
  EXPECT_EQ(none.error, "");
  EXPECT_FALSE(none.silent.has_value());
  EXPECT_FALSE(none.help);
  EXPECT_TRUE(ParseHeadlessOptions({"--store", "/x", "--help"}).help);
  EXPECT_NE(HeadlessUsage("quorinfree").find("-silent USER PASSWORD"), std::string::npos);
}

}  // namespace
}  // namespace quorin::client
