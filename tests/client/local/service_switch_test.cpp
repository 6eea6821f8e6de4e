#include "client/local/service_switch.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "client/local/service_commands.h"

#include "platform/service_control.h"

namespace quorin::client {
namespace {

// Records every call of the switch, in order, as one line each, and plays a service manager
// whose "installed" state the registration and removal programs change (or fail to change).
struct SwitchRig {
  bool credentials = true;
  bool registrationWorks = true;
  bool removalWorks = true;
  bool declinePrompt = false;
  bool installed = false;
  std::vector<std::string> calls;

  ServiceOperations Operations() {
    ServiceOperations operations{
        [this](std::string_view program, std::string_view arguments, void* owner) {
          calls.push_back("run elevated " + std::string(program) + " " + std::string(arguments) +
                          (owner != nullptr ? " over the dialog" : ""));
          if (declinePrompt)
            return platform::ElevatedRunResult{platform::ElevatedRunStatus::kDeclined, -1};
          if (arguments == kServiceRegisterSwitch && registrationWorks)
            installed = true;
          if (arguments == kServiceRemoveSwitch && removalWorks)
            installed = false;
          return platform::ElevatedRunResult{platform::ElevatedRunStatus::kFinished, 0};
        },
        [this](std::string_view name) {
          calls.push_back("query " + std::string(name));
          return installed ? platform::kServiceStopped : platform::kServiceNotInstalled;
        },
        [this](std::string_view name) { calls.push_back("start " + std::string(name)); },
        &calls,  // any window: the prompt's owner is handed through
    };
    return operations;
  }
  ServiceSwitchAccount Account() {
    return ServiceSwitchAccount{[this] { return credentials; },
                                [this] { calls.push_back("remember account"); },
                                [this] { calls.push_back("restore account"); }};
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
  // The account is in the profile file before the registration, which hands it to the service;
  // the registration runs elevated over the dialog and is waited for before the state is read;
  // autostart goes off while the service runs.
  EXPECT_EQ(rig.calls,
            (Calls{"remember account", "run elevated TLDDNSService.exe -Service over the dialog",
                   "query TLDDNSService", "start TLDDNSService", "autostart box off",
                   "autostart disabled", "message 57687"}));
}

TEST(ServiceSwitchTest, AFailedOrDeclinedRegistrationPutsTheAccountFileBack) {
  SwitchRig failed;
  failed.registrationWorks = false;
  EXPECT_EQ(failed.Run(true), ServiceSwitchOutcome::kInstallFailed);
  EXPECT_EQ(failed.calls,
            (Calls{"remember account", "run elevated TLDDNSService.exe -Service over the dialog",
                   "query TLDDNSService", "restore account", "service box off", "message 57688"}));

  // Declined at the prompt: no state query, nothing started, the box as it was before the click.
  SwitchRig declined;
  declined.declinePrompt = true;
  EXPECT_EQ(declined.Run(true), ServiceSwitchOutcome::kDeclined);
  EXPECT_EQ(declined.calls,
            (Calls{"remember account", "run elevated TLDDNSService.exe -Service over the dialog",
                   "restore account", "service box off", "message 57740"}));
}

TEST(ServiceSwitchTest, SwitchingOffLeavesTheStopToTheElevatedRemoval) {
  SwitchRig rig;
  rig.installed = true;
  EXPECT_EQ(rig.Run(false), ServiceSwitchOutcome::kRemoved);
  EXPECT_EQ(rig.calls, (Calls{"run elevated TLDDNSService.exe -UnRegServer over the dialog",
                              "query TLDDNSService", "autostart enabled", "message 57689"}));

  // Declined: the service is neither stopped nor removed, and the box is checked again.
  SwitchRig declined;
  declined.installed = true;
  declined.declinePrompt = true;
  EXPECT_EQ(declined.Run(false), ServiceSwitchOutcome::kDeclined);
  EXPECT_EQ(declined.calls, (Calls{"run elevated TLDDNSService.exe -UnRegServer over the dialog",
                                   "service box on", "message 57740"}));
  EXPECT_TRUE(declined.installed);
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

// The window hands its service requests to a worker: they return at once while the manager
// holds a call, and only the newest of the requests made meanwhile is carried out.
TEST(ServiceCommandsTest, RequestsNeverWaitForTheManagerAndOnlyTheNewestWaits) {
  struct Manager {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool holding = false;
    bool installed = true;
    std::vector<std::string> calls;
    void Call(std::string line) {
      std::unique_lock lock(mutex);
      calls.push_back(std::move(line));
      holding = true;
      changed.notify_all();
      changed.wait(lock, [&] { return open; });
    }
  };
  auto manager = std::make_shared<Manager>();
  ServiceManagerCalls operations;
  operations.queryState = [manager](std::string_view) {
    std::lock_guard lock(manager->mutex);
    return manager->installed ? platform::kServiceRunning : platform::kServiceNotInstalled;
  };
  operations.start = [manager](std::string_view name) {
    manager->Call("start " + std::string(name));
  };
  operations.stop = [manager](std::string_view name) {
    manager->Call("stop " + std::string(name));
  };

  ServiceCommands commands(operations);
  commands.Request(ServiceCommands::Command::kStop);
  {
    std::unique_lock lock(manager->mutex);
    manager->changed.wait(lock, [&] { return manager->holding; });
  }
  // The manager holds the stop; these requests return, and the last one replaces the others.
  commands.Request(ServiceCommands::Command::kStart);
  commands.Request(ServiceCommands::Command::kStop);
  commands.Request(ServiceCommands::Command::kStart);
  EXPECT_FALSE(commands.WaitUntilDone(std::chrono::milliseconds(20))) << "the stop still waits";
  {
    std::lock_guard lock(manager->mutex);
    manager->open = true;
    manager->changed.notify_all();
  }
  ASSERT_TRUE(commands.WaitUntilDone(std::chrono::seconds(30)));
  {
    std::lock_guard lock(manager->mutex);
    EXPECT_EQ(manager->calls,
              (std::vector<std::string>{"stop TLDDNSService", "start TLDDNSService"}));
    // A service that is not installed is neither started nor stopped.
    manager->installed = false;
  }
  commands.Request(ServiceCommands::Command::kStop);
  ASSERT_TRUE(commands.WaitUntilDone(std::chrono::seconds(30)));
  std::lock_guard lock(manager->mutex);
  EXPECT_EQ(manager->calls.size(), 2u);
}

}  // namespace
}  // namespace quorin::client
