// The service operations and the service switch against Wine's service manager, with the
// test build of TLDDNSService.exe beside this program (found by the program search).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/local/service_switch.h"
#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "tests/shell/service_test_support.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;
using platform::QueryServiceState;

bool WaitForState(const char* name, int state) {
  return WaitUntil([&] { return QueryServiceState(name) == state; });
}

// Records what the switch does to the settings dialog and the account.
struct SwitchRecord {
  std::vector<std::string> events;
  bool credentials = true;

  client::ServiceSwitchAccount Account() {
    return {[this] { return credentials; }, [this] { events.push_back("remember"); }};
  }
  client::ServiceSwitchView View() {
    return {[this](bool on) { events.push_back(on ? "service on" : "service off"); },
            [this](bool on) { events.push_back(on ? "autostart on" : "autostart off"); },
            [this](bool on) { events.push_back(on ? "autostart enabled" : "autostart disabled"); },
            [this](unsigned id) { events.push_back(std::to_string(id)); }};
  }
};

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", nullptr);
    RemoveServiceNow(L"TLDDNSService");
    ASSERT_TRUE(WaitForState("TLDDNSService", platform::kServiceNotInstalled));
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", nullptr);
    RemoveServiceNow(L"TLDDNSService");
  }
};

TEST_F(ServiceTest, TheSwitchInstallsStartsStopsAndRemovesTheService) {
  SwitchRecord on;
  EXPECT_EQ(client::RunServiceSwitch(true, on.Account(), on.View()),
            client::ServiceSwitchOutcome::kInstalled);
  EXPECT_EQ(on.events,
            (std::vector<std::string>{"remember", "autostart off", "autostart disabled", "57687"}));
  EXPECT_TRUE(WaitForState("TLDDNSService", platform::kServiceRunning));

  SwitchRecord off;
  EXPECT_EQ(client::RunServiceSwitch(false, off.Account(), off.View()),
            client::ServiceSwitchOutcome::kRemoved);
  EXPECT_EQ(off.events, (std::vector<std::string>{"autostart enabled", "57689"}));
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
}

TEST_F(ServiceTest, FailedRegistrationAndRemovalAreReportedAndUndoTheBox) {
  ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", L"register");
  SwitchRecord failedOn;
  EXPECT_EQ(client::RunServiceSwitch(true, failedOn.Account(), failedOn.View()),
            client::ServiceSwitchOutcome::kInstallFailed);
  EXPECT_EQ(failedOn.events, (std::vector<std::string>{"service off", "57688"}));

  ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", nullptr);
  SwitchRecord on;
  ASSERT_EQ(client::RunServiceSwitch(true, on.Account(), on.View()),
            client::ServiceSwitchOutcome::kInstalled);
  ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", L"remove");
  SwitchRecord failedOff;
  EXPECT_EQ(client::RunServiceSwitch(false, failedOff.Account(), failedOff.View()),
            client::ServiceSwitchOutcome::kRemoveFailed);
  EXPECT_EQ(failedOff.events, (std::vector<std::string>{"service on", "57690"}));
  EXPECT_NE(QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
}

TEST_F(ServiceTest, WithoutCredentialsNothingIsStarted) {
  SwitchRecord record;
  record.credentials = false;
  EXPECT_EQ(client::RunServiceSwitch(true, record.Account(), record.View()),
            client::ServiceSwitchOutcome::kNeedsCredentials);
  EXPECT_EQ(record.events, (std::vector<std::string>{"service off", "57725"}));
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
}

TEST_F(ServiceTest, StartStopAndTheInterrogatedState) {
  // A service that answers an interrogation with "paused" (7), so that the state query shows
  // whose word it returns for a running service.
  const std::wstring program = Environment(L"QUORIN_SHELL_BIN") + L"\\TLDDNSService.exe";
  const std::wstring command =
      L"\"" + program + L"\" --name QuorinProbeService --interrogate-answer 7";
  RemoveServiceNow(L"QuorinProbeService");
  const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  ASSERT_NE(manager, nullptr);
  const SC_HANDLE service =
      ::CreateServiceW(manager, L"QuorinProbeService", L"QuorinFree probe", SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(service, nullptr);

  EXPECT_EQ(QueryServiceState("QuorinProbeService"), platform::kServiceStopped);
  platform::StartServiceByName("QuorinProbeService");
  SERVICE_STATUS remembered{};
  ASSERT_TRUE(WaitUntil(
      [&] {
        return ::QueryServiceStatus(service, &remembered) &&
               remembered.dwCurrentState == SERVICE_RUNNING;
      },
      15s));
  // The manager remembers "running"; the service itself, asked once more, says "paused".
  EXPECT_EQ(QueryServiceState("QuorinProbeService"), platform::kServicePaused);

  platform::StopServiceByName("QuorinProbeService");
  EXPECT_TRUE(WaitForState("QuorinProbeService", platform::kServiceStopped));
  ::DeleteService(service);
  ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  EXPECT_TRUE(WaitForState("QuorinProbeService", platform::kServiceNotInstalled));
  EXPECT_EQ(QueryServiceState(""), platform::kServiceNotInstalled);
}

}  // namespace
}  // namespace quorin::shelltest
