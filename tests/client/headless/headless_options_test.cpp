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

TEST(HeadlessOptions, PasswordFileKeepsThePasswordOffTheCommandLine) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{"--password-file", "/run/pw", "-silent", "alice"},
                                             {"-silent", "alice", "--password-file", "/run/pw"}}) {
    const HeadlessOptions options = ParseHeadlessOptions(arguments);
    EXPECT_EQ(options.error, "") << arguments[0];
    ASSERT_TRUE(options.silent.has_value()) << arguments[0];
    EXPECT_EQ(options.silent->user, "alice");
    EXPECT_EQ(options.silent->password, "") << "it comes from the file";
    EXPECT_EQ(options.passwordFile, "/run/pw");
  }
  // Only one source of the password.
  EXPECT_NE(ParseHeadlessOptions({"--password-file", "f", "-silent", "a", "pw"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--password-file", "f", "-silent"}).error, "") << "no user";
  EXPECT_NE(ParseHeadlessOptions({"-silent", "a", "--password-file", ""}).error, "");
  // Without a following file name, "--password-file" is a password like any other.
  EXPECT_EQ(ParseHeadlessOptions({"-silent", "a", "--password-file"}).silent->password,
            "--password-file");
  EXPECT_NE(ParseHeadlessOptions({"--password-file", "f"}).error, "") << "nothing to log in";
}

TEST(HeadlessOptions, RememberAndForgetNameOneAccount) {
  HeadlessOptions options = ParseHeadlessOptions({"--store", "/s", "--remember", "alice"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.command, HeadlessCommand::kRemember);
  EXPECT_EQ(options.accountUser, "alice");
  EXPECT_FALSE(options.silent.has_value());
  EXPECT_FALSE(options.passwordFile.has_value()) << "the password is read from the terminal";

  options = ParseHeadlessOptions({"--remember", "alice", "--password-file", "/run/pw"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.passwordFile, "/run/pw");

  options = ParseHeadlessOptions({"--forget", "bob"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.command, HeadlessCommand::kForget);
  EXPECT_EQ(options.accountUser, "bob");

  EXPECT_NE(ParseHeadlessOptions({"--remember"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--remember", "a", "secret"}).error, "")
      << "never a password on the command line";
  EXPECT_NE(ParseHeadlessOptions({"--remember", "a", "--forget", "b"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--remember", "a", "-silent", "a", "pw"}).error, "");
  EXPECT_NE(ParseHeadlessOptions({"--forget", "a", "--password-file", "f"}).error, "");
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
