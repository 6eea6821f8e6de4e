// The service operations and the service switch against Wine's service manager, with the
// test build of TLDDNSService.exe beside this program (found by the program search).
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/local/service_switch.h"
#include "platform/elevated_run.h"
#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "platform/win32/service_calls.h"
#include "platform/win32/service_security.h"
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
    return {[this] { return credentials; }, [this] { events.push_back("remember"); },
            [this] { events.push_back("restore"); }};
  }
  client::ServiceSwitchView View() {
    return {[this](bool on) { events.push_back(on ? "service on" : "service off"); },
            [this](bool on) { events.push_back(on ? "autostart on" : "autostart off"); },
            [this](bool on) { events.push_back(on ? "autostart enabled" : "autostart disabled"); },
            [this](unsigned id) { events.push_back(std::to_string(id)); }};
  }
};

// The system calls the platform layer makes, recorded on their way to the real ones; the
// shell's start can be made to answer as a user who declines the prompt.
struct CallRecord {
  static inline std::vector<std::string> calls;
  static inline bool decline = false;

  static std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (const wchar_t* c = text; *c != 0; ++c)
      narrow += static_cast<char>(*c < 128 ? *c : '?');
    return narrow;
  }
  static SC_HANDLE WINAPI RecordOpenManager(const wchar_t* machine, const wchar_t* database,
                                            DWORD access) {
    calls.push_back("manager " + std::to_string(access));
    return ::OpenSCManagerW(machine, database, access);
  }
  static SC_HANDLE WINAPI RecordOpenService(SC_HANDLE manager, const wchar_t* name, DWORD access) {
    calls.push_back("service " + Narrow(name) + " " + std::to_string(access));
    return ::OpenServiceW(manager, name, access);
  }
  static BOOL WINAPI RecordShellStart(SHELLEXECUTEINFOW* info) {
    calls.push_back("shell " + Narrow(info->lpVerb) + " " + Narrow(info->lpFile) + " " +
                    Narrow(info->lpParameters != nullptr ? info->lpParameters : L"") +
                    ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0 ? " (process)" : ""));
    if (decline) {
      ::SetLastError(ERROR_CANCELLED);
      return FALSE;
    }
    return ::ShellExecuteExW(info);
  }
  static BOOL WINAPI RecordConvert(const wchar_t* text, DWORD revision,
                                   PSECURITY_DESCRIPTOR* descriptor, ULONG* size) {
    calls.push_back("descriptor " + Narrow(text));
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text, revision, descriptor, size);
  }
  static BOOL WINAPI RecordSetSecurity(SC_HANDLE service, SECURITY_INFORMATION what,
                                       PSECURITY_DESCRIPTOR descriptor) {
    calls.push_back("security " + std::to_string(what));
    return ::SetServiceObjectSecurity(service, what, descriptor);
  }
  static platform::ServiceCalls Table() {
    platform::ServiceCalls table;
    table.openManager = RecordOpenManager;
    table.openService = RecordOpenService;
    table.shellExecuteEx = RecordShellStart;
    table.convertStringSecurityDescriptor = RecordConvert;
    table.setServiceObjectSecurity = RecordSetSecurity;
    return table;
  }
};

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CallRecord::decline = false;
    ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", nullptr);
    RemoveServiceNow(L"TLDDNSService");
    ASSERT_TRUE(WaitForState("TLDDNSService", platform::kServiceNotInstalled));
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", nullptr);
    RemoveServiceNow(L"TLDDNSService");
  }
};

// Wine has no User Account Control: its shell runs a program started with the "runas" verb
// as it is. The switch's programs go through that verb, named with the folder of this program.
TEST_F(ServiceTest, TheSwitchInstallsStartsStopsAndRemovesTheService) {
  CallRecord::calls.clear();
  const platform::ScopedServiceCalls recording(CallRecord::Table());
  const std::string program =
      CallRecord::Narrow((Environment(L"QUORIN_SHELL_BIN") + L"\\TLDDNSService.exe").c_str());
  SwitchRecord on;
  EXPECT_EQ(client::RunServiceSwitch(true, on.Account(), on.View()),
            client::ServiceSwitchOutcome::kInstalled);
  EXPECT_EQ(on.events,
            (std::vector<std::string>{"remember", "autostart off", "autostart disabled", "57687"}));
  EXPECT_TRUE(WaitForState("TLDDNSService", platform::kServiceRunning));
  EXPECT_EQ(CallRecord::calls.front(), "shell runas " + program + " -Service (process)");

  CallRecord::calls.clear();
  SwitchRecord off;
  EXPECT_EQ(client::RunServiceSwitch(false, off.Account(), off.View()),
            client::ServiceSwitchOutcome::kRemoved);
  EXPECT_EQ(off.events, (std::vector<std::string>{"autostart enabled", "57689"}));
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
  EXPECT_EQ(CallRecord::calls.front(), "shell runas " + program + " -UnRegServer (process)");
}

// Declining the prompt leaves everything as it was: no service appears, and a running one is
// neither stopped nor removed.
TEST_F(ServiceTest, ADeclinedPromptChangesNothing) {
  const platform::ScopedServiceCalls recording(CallRecord::Table());
  CallRecord::decline = true;
  SwitchRecord on;
  EXPECT_EQ(client::RunServiceSwitch(true, on.Account(), on.View()),
            client::ServiceSwitchOutcome::kDeclined);
  EXPECT_EQ(on.events, (std::vector<std::string>{"remember", "restore", "service off", "57740"}));
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);

  CallRecord::decline = false;
  SwitchRecord installed;
  ASSERT_EQ(client::RunServiceSwitch(true, installed.Account(), installed.View()),
            client::ServiceSwitchOutcome::kInstalled);
  ASSERT_TRUE(WaitForState("TLDDNSService", platform::kServiceRunning));
  CallRecord::decline = true;
  SwitchRecord off;
  EXPECT_EQ(client::RunServiceSwitch(false, off.Account(), off.View()),
            client::ServiceSwitchOutcome::kDeclined);
  EXPECT_EQ(off.events, (std::vector<std::string>{"service on", "57740"}));
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceRunning);
  CallRecord::decline = false;
}

TEST_F(ServiceTest, FailedRegistrationAndRemovalAreReportedAndUndoTheBox) {
  ::SetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", L"register");
  SwitchRecord failedOn;
  EXPECT_EQ(client::RunServiceSwitch(true, failedOn.Account(), failedOn.View()),
            client::ServiceSwitchOutcome::kInstallFailed);
  EXPECT_EQ(failedOn.events,
            (std::vector<std::string>{"remember", "restore", "service off", "57688"}));

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

  // The access list the registration gives the service, through the platform's own call.
  CallRecord::calls.clear();
  {
    const platform::ScopedServiceCalls recording(CallRecord::Table());
    EXPECT_TRUE(platform::ApplyServiceSecurity(service));
  }
  EXPECT_EQ(CallRecord::calls,
            (std::vector<std::string>{
                "descriptor " + CallRecord::Narrow(platform::kServiceSecurityDescriptor),
                "security " + std::to_string(DACL_SECURITY_INFORMATION)}));

  // Every operation connects to the manager only, and asks the service for one right each
  // (the interrogation of a running service is a right of its own).
  CallRecord::calls.clear();
  const platform::ScopedServiceCalls recording(CallRecord::Table());
  const std::string connectOnly = "manager " + std::to_string(SC_MANAGER_CONNECT);
  const auto opened = [](DWORD access) {
    return "service QuorinProbeService " + std::to_string(access);
  };
  EXPECT_EQ(QueryServiceState("QuorinProbeService"), platform::kServiceStopped);
  platform::StartServiceByName("QuorinProbeService");
  EXPECT_EQ(CallRecord::calls, (std::vector<std::string>{connectOnly, opened(SERVICE_QUERY_STATUS),
                                                         connectOnly, opened(SERVICE_START)}));
  SERVICE_STATUS remembered{};
  ASSERT_TRUE(WaitUntil(
      [&] {
        return ::QueryServiceStatus(service, &remembered) &&
               remembered.dwCurrentState == SERVICE_RUNNING;
      },
      15s));
  // The manager remembers "running"; the service itself, asked once more, says "paused".
  CallRecord::calls.clear();
  EXPECT_EQ(QueryServiceState("QuorinProbeService"), platform::kServicePaused);
  platform::StopServiceByName("QuorinProbeService");
  EXPECT_EQ(CallRecord::calls, (std::vector<std::string>{connectOnly, opened(SERVICE_QUERY_STATUS),
                                                         opened(SERVICE_INTERROGATE), connectOnly,
                                                         opened(SERVICE_STOP)}));
  EXPECT_TRUE(WaitForState("QuorinProbeService", platform::kServiceStopped));
  ::DeleteService(service);
  ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  EXPECT_TRUE(WaitForState("QuorinProbeService", platform::kServiceNotInstalled));
  EXPECT_EQ(QueryServiceState(""), platform::kServiceNotInstalled);
}

// What the access list means, read back by the system: the system and administrators have full
// control, interactive users start, stop and ask, and nobody else is named.
TEST(ServiceSecurityTest, InteractiveUsersMayStartStopAndQueryOnly) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      platform::kServiceSecurityDescriptor, SDDL_REVISION_1, &descriptor, nullptr));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  ACL* list = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted));
  ASSERT_TRUE(present && list != nullptr);
  const auto sidOf = [](WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    ::CreateWellKnownSid(type, nullptr, sid.data(), &size);
    return sid;
  };
  const std::vector<std::pair<std::vector<BYTE>, DWORD>> expected = {
      {sidOf(WinLocalSystemSid), SERVICE_ALL_ACCESS},
      {sidOf(WinBuiltinAdministratorsSid), SERVICE_ALL_ACCESS},
      {sidOf(WinInteractiveSid),
       SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE}};
  ASSERT_EQ(list->AceCount, expected.size());
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(::GetAce(list, i, &entry));
    const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_TRUE(
        ::EqualSid(const_cast<DWORD*>(&ace->SidStart), const_cast<BYTE*>(expected[i].first.data())))
        << "entry " << i;
    EXPECT_EQ(ace->Mask, expected[i].second) << "entry " << i;
  }
  ::LocalFree(descriptor);
}

}  // namespace
}  // namespace quorin::shelltest
