// The check that ends the client without windows when no update host can exist.
#include "client/headless/update_host_check.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/client/protocol/test_settings.h"

namespace quorin::client {
namespace {

class UpdateHostCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.settings.WriteSetting("UpdateHostFree1", "one.example.invalid");
    settings_.settings.WriteSetting("UpdateHostFree2", "two.example.invalid");
  }
  // Names in `missing` do not exist; names in `unanswered` cannot be asked; others resolve.
  std::string Problem() {
    return MissingUpdateHostsProblem(settings_.settings, [this](std::string_view host) {
      asked_.emplace_back(host);
      platform::HostLookup found;
      if (missing_.count(std::string(host)) != 0)
        found.noSuchName = true;
      else if (unanswered_.count(std::string(host)) == 0)
        found.address = Ipv4Address{192, 0, 2, 1};
      return found;
    });
  }

  testing::TestSettings settings_;
  std::set<std::string> missing_;
  std::set<std::string> unanswered_;
  std::vector<std::string> asked_;
};

TEST_F(UpdateHostCheckTest, NamesBothHostsWhenTheNameServerKnowsNeither) {
  missing_ = {"one.example.invalid", "two.example.invalid"};
  const std::string problem = Problem();
  EXPECT_NE(problem.find("\"one.example.invalid\" and \"two.example.invalid\" do not exist"),
            std::string::npos)
      << problem;
  EXPECT_EQ(problem.find('\n'), std::string::npos) << "one line";

  settings_.settings.WriteSetting("UpdateHostFree2", "one.example.invalid");
  EXPECT_NE(Problem().find("host \"one.example.invalid\" does not exist"), std::string::npos)
      << "the same host twice is named once";
}

TEST_F(UpdateHostCheckTest, AnyHostThatMayExistLetsTheClientStart) {
  missing_ = {"one.example.invalid"};
  EXPECT_EQ(Problem(), "") << "the secondary resolves";

  unanswered_ = {"two.example.invalid"};
  EXPECT_EQ(Problem(), "") << "no answer (no network yet) proves nothing";

  missing_ = {"one.example.invalid", "two.example.invalid"};
  settings_.settings.SetLoginServerAddress("203.0.113.5");
  asked_.clear();
  EXPECT_EQ(Problem(), "") << "the server that answered last time is asked by its address";
  EXPECT_TRUE(asked_.empty());
}

TEST_F(UpdateHostCheckTest, TheHostsFollowTheAccountTypeOfTheLastLogin) {
  settings_.settings.WriteSetting("UpdateHostVip1", "vip.example.invalid");
  settings_.settings.WriteSetting("UpdateHostVip2", "vip.example.invalid");
  settings_.settings.SetLastLoginWasVip(true);
  missing_ = {"one.example.invalid", "two.example.invalid"};
  EXPECT_EQ(Problem(), "") << "a VIP account asks the VIP hosts, which resolve";
  EXPECT_EQ(asked_, std::vector<std::string>{"vip.example.invalid"});
}

}  // namespace
}  // namespace quorin::client
