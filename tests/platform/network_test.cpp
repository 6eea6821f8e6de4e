#include "platform/network.h"

#include <gtest/gtest.h>

#include "platform/program_path.h"

namespace quorin::platform {
namespace {

TEST(ResolveToAddressText, KeepsDottedTextsAndResolvesNames) {
  NetworkSession session;
  ASSERT_TRUE(session.ok());
  EXPECT_EQ(ResolveToAddressText("203.0.113.9"), "203.0.113.9") << "no lookup for an address";
  EXPECT_EQ(ResolveToAddressText("localhost"), "127.0.0.1");
  EXPECT_EQ(ResolveToAddressText(""), "");
  EXPECT_EQ(ResolveToAddressText("no-such-host.invalid", 3000), "")
      << "the .invalid domain never resolves";
}

TEST(LookUpHost, TellsAMissingNameFromAnAnswerThatNeverCame) {
  NetworkSession session;
  ASSERT_TRUE(session.ok());
  const HostLookup local = LookUpHost("localhost");
  EXPECT_EQ(local.address, (Ipv4Address{127, 0, 0, 1}));
  EXPECT_FALSE(local.noSuchName);
  const HostLookup dotted = LookUpHost("203.0.113.9", 0);
  EXPECT_EQ(dotted.address, (Ipv4Address{203, 0, 113, 9})) << "no lookup, so no time needed";
  EXPECT_FALSE(LookUpHost("", 0).noSuchName) << "nothing was asked";

  // The .invalid domain never exists; where no name server can be asked the lookup fails
  // without that verdict, and the part that needs one is skipped.
  const HostLookup missing = LookUpHost("no-such-host.invalid", 3000);
  EXPECT_FALSE(missing.address);
  if (!missing.noSuchName)
    GTEST_SKIP() << "no name server answered here, so a missing name cannot be told apart";
}

TEST(ResolveIPv4, ParsesDottedTextsWithoutTheResolver) {
  EXPECT_EQ(ResolveIPv4("10.1.2.3"), (Ipv4Address{10, 1, 2, 3}));
  EXPECT_FALSE(ResolveIPv4(""));
}

TEST(ProgramDirectory, IsTheDirectoryOfTheRunningTestProgram) {
  const auto path = ProgramPath();
  const auto directory = ProgramDirectory();
  ASSERT_TRUE(path.has_value());
  ASSERT_TRUE(directory.has_value());
  EXPECT_FALSE(directory->empty());
  EXPECT_EQ(path->rfind(*directory, 0), 0u) << "the directory is a prefix of the path";
  EXPECT_NE(path->find("platform_tests"), std::string::npos);
  const std::string fileName = path->substr(directory->size() + 1);
  EXPECT_TRUE((*path)[directory->size()] == '/' || (*path)[directory->size()] == '\\');
  EXPECT_EQ(fileName.find_first_of("/\\"), std::string::npos) << "cut at the last separator";
}

}  // namespace
}  // namespace quorin::platform
