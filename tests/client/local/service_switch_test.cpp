#include "client/local/service_switch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/service_control.h"

namespace quorin::client {
namespace {

// Records every call of the switch, in order, as one line each, and plays a service manager
// whose "installed" state the registration and removal programs change (or fail to change).
struct SwitchRig {
  bool credentials = true;
  bool registrationWorks = true;
  bool removalWorks = true;
  bool installed = false;
  std::vector<std::string> calls;

  ServiceOperations Operations() {
    return ServiceOperations{
        [this](std::string_view line, bool wait) {
          calls.push_back("run " + std::string(line) + (wait ? " (wait)" : " (no wait)"));
          if (line == kServiceRegisterCommand && registrationWorks)
            installed = true;
          if (line == kServiceRemoveCommand && removalWorks)
            installed = false;
          return 0;
        },
        [this](std::string_view name) {
          calls.push_back("query " + std::string(name));
          return installed ? platform::kServiceStopped : platform::kServiceNotInstalled;
        },
        [this](std::string_view name) { calls.push_back("start " + std::string(name)); },
        [this](std::string_view name) { calls.push_back("stop " + std::string(name)); },
    };
  }
  ServiceSwitchAccount Account() {
    return ServiceSwitchAccount{[this] { return credentials; },
                                [this] { calls.push_back("remember account"); }};
  }
  ServiceSwitchView View() {
    return ServiceSwitchView{
        [this](bool checked) { calls.push_back(checked ? "service box on" : "service box off"); },
        [this](bool checked) {
          calls.push_back(checked ? "autostart box on" : "autostart box off");
        },
        [this](bool enabled) {
          calls.push_back(enabled ? "autostart enabled" : "autostart disabled");
        },
        [this](unsigned id) { calls.push_back("message " + std::to_string(id)); },
    };
  }
  ServiceSwitchOutcome Run(bool checked) {
    return RunServiceSwitch(checked, Account(), View(), Operations());
  }
};

using Calls = std::vector<std::string>;

TEST(ServiceSwitchTest, SwitchingOnWithoutCredentialsStartsNothing) {
  SwitchRig rig;
  rig.credentials = false;
  EXPECT_EQ(rig.Run(true), ServiceSwitchOutcome::kNeedsCredentials);
  EXPECT_EQ(rig.calls, (Calls{"service box off", "message 57725"}));
}

TEST(ServiceSwitchTest, SwitchingOnRegistersStartsAndHandsOverTheAccount) {
  SwitchRig rig;
  EXPECT_EQ(rig.Run(true), ServiceSwitchOutcome::kInstalled);
  // The registration is waited for before the state is read; the account is remembered only
  // once the service exists, and before it starts, since the service reads it only then;
  // autostart goes off while the service runs.
  EXPECT_EQ(rig.calls, (Calls{"run TLDDNSService.exe -Service (wait)", "query TLDDNSService",
                              "remember account", "start TLDDNSService", "autostart box off",
                              "autostart disabled", "message 57687"}));
}

TEST(ServiceSwitchTest, AFailedRegistrationUnchecksTheBoxAndKeepsTheAccountPrivate) {
  SwitchRig rig;
  rig.registrationWorks = false;
  EXPECT_EQ(rig.Run(true), ServiceSwitchOutcome::kInstallFailed);
  EXPECT_EQ(rig.calls, (Calls{"run TLDDNSService.exe -Service (wait)", "query TLDDNSService",
                              "service box off", "message 57688"}));
}

TEST(ServiceSwitchTest, SwitchingOffStopsBeforeRemovingAndFreesAutostart) {
  SwitchRig rig;
  rig.installed = true;
  EXPECT_EQ(rig.Run(false), ServiceSwitchOutcome::kRemoved);
  EXPECT_EQ(rig.calls, (Calls{"stop TLDDNSService", "run TLDDNSService.exe -UnRegServer (wait)",
                              "query TLDDNSService", "autostart enabled", "message 57689"}));
}

TEST(ServiceSwitchTest, AFailedRemovalChecksTheBoxAgain) {
  SwitchRig rig;
  rig.installed = true;
  rig.removalWorks = false;
  EXPECT_EQ(rig.Run(false), ServiceSwitchOutcome::kRemoveFailed);
  EXPECT_EQ(rig.calls.back(), "message 57690");
  EXPECT_EQ(rig.calls[rig.calls.size() - 2], "service box on");
  EXPECT_TRUE(rig.installed);
}

TEST(ServiceSwitchTest, CredentialRule) {
  // A login's key is enough on its own.
  EXPECT_TRUE(ServiceCredentialsAvailable(true, {}, -1));
  // Otherwise the current profile entry must remember its password.
  EXPECT_TRUE(ServiceCredentialsAvailable(false, {false, true}, 1));
  EXPECT_FALSE(ServiceCredentialsAvailable(false, {false, true}, 0));
  EXPECT_FALSE(ServiceCredentialsAvailable(false, {}, 0));  // empty profile file
  // An index of 10 or more, or one past the entries, names no usable entry.
  EXPECT_FALSE(ServiceCredentialsAvailable(false, std::vector<bool>(12, true), 10));
  EXPECT_TRUE(ServiceCredentialsAvailable(false, std::vector<bool>(12, true), 9));
  EXPECT_FALSE(ServiceCredentialsAvailable(false, {true, true}, 2));
  EXPECT_FALSE(ServiceCredentialsAvailable(false, {true}, -1));
}

}  // namespace
}  // namespace quorin::client
