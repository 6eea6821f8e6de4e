// TLDDNSService.exe of the installation under Wine's service manager: its registration
// commands, and the service itself keeping the remembered account's domains updated at the
// provider simulator (started by the CTest fixture "service_sim").
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "client/local/profile_file.h"
#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "platform/win32/unique_handle.h"
#include "tests/shell/service_test_support.h"
#include "tests/shell/window_test_support.h"
#include "tests/support/simulator_control.h"
#include "tests/support/temp_path.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;
using platform::QueryServiceState;
using platform::UniqueServiceHandle;

constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\tilro\\tlHost";
constexpr const char* kAccounts =
    R"({"users": {"svc": {"password": "pw", "key": "000127.0.0.89-svc", "randText": "RS",
        "zones": [{"name": "example.test", "text2": "x", "text3": "y",
                   "hosts": [{"label": "home", "address": "198.51.100.1", "text3": "z"},
                             {"label": "nas", "address": "198.51.100.1", "text3": "z"}]}]}}})";

void SetSetting(const wchar_t* name, const std::wstring& value) {
  platform::UniqueRegistryKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
}

void ClearSetting(const wchar_t* name) {
  platform::UniqueRegistryKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, key.put()) ==
      ERROR_SUCCESS)
    ::RegDeleteValueW(key.get(), name);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ServiceProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveServiceNow(L"TLDDNSService");
    ASSERT_TRUE(WaitUntil(
        [] { return QueryServiceState("TLDDNSService") == platform::kServiceNotInstalled; }));
    folder_ = testing::UniqueTempPath("service program");  // a blank, as in "Program Files"
    std::filesystem::create_directories(folder_);
    program_ = folder_ / "TLDDNSService.exe";
    std::filesystem::copy_file(
        std::filesystem::path(Environment(L"QUORIN_SHELL_INSTALL")) / "TLDDNSService.exe",
        program_);
    for (const wchar_t* name :
         {L"UpdateHostFree1", L"UpdateHostFree2", L"UpdateHostVip1", L"UpdateHostVip2"})
      SetSetting(name, Wide(simulator_.host()));
    simulator_.SetAccounts(kAccounts);
    simulator_.ClearFaults();
    simulator_.SetAddress("203.0.113.20");
  }
  void TearDown() override {
    RemoveServiceNow(L"TLDDNSService");
    for (const wchar_t* name :
         {L"UpdateHostFree1", L"UpdateHostFree2", L"UpdateHostVip1", L"UpdateHostVip2"})
      ClearSetting(name);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  void Remember(const char* user, const char* password, int savePassword) {
    client::UserProfile profile;
    profile.userName = user;
    profile.password = password;
    profile.savePassword = savePassword;
    ASSERT_TRUE(client::SaveProfile((folder_ / "userprofie.dat").string(), profile, true));
  }

  int Run(const char* argument) {
    const std::string command = "\"" + program_.string() + "\" " + argument;
    return platform::RunCommand(command, true);
  }

  UniqueServiceHandle Open() {
    manager_.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return UniqueServiceHandle(
        ::OpenServiceW(manager_.get(), L"TLDDNSService", SERVICE_ALL_ACCESS));
  }

  // Starts the service with start parameters (the service's clock speed, in these tests).
  // A service that has reported itself stopped may still be leaving its process; the service
  // manager refuses a new start until it has, so the start is asked again meanwhile.
  static bool Start(SC_HANDLE service, std::vector<const wchar_t*> arguments) {
    DWORD error = 0;
    const bool started = WaitUntil([&] {
      if (::StartServiceW(service, static_cast<DWORD>(arguments.size()),
                          arguments.empty() ? nullptr : arguments.data())) {
        error = 0;
        return true;
      }
      error = ::GetLastError();
      return error != ERROR_SERVICE_ALREADY_RUNNING && error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    });
    return started && error == 0;
  }

  static SERVICE_STATUS WaitForState(SC_HANDLE service, DWORD state,
                                     std::chrono::milliseconds limit = 60s) {
    SERVICE_STATUS status{};
    WaitUntil(
        [&] { return ::QueryServiceStatus(service, &status) && status.dwCurrentState == state; },
        limit);
    return status;
  }

  bool SavedAddress(const std::string& address) {
    return WaitUntil(
        [&] { return simulator_.Call("GET", "/control/saved").find(address) != std::string::npos; },
        30s);
  }

  std::string Log() { return ReadFile(folder_ / "TLDDNSService.log"); }

  struct ServiceConfiguration {
    DWORD startType = 0;
    DWORD serviceType = 0;
    std::wstring command;
  };
  std::optional<ServiceConfiguration> Configuration() {
    const UniqueServiceHandle service = Open();
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!service || !::QueryServiceConfigW(service.get(), config, 8192, &needed))
      return std::nullopt;
    return ServiceConfiguration{config->dwStartType, config->dwServiceType,
                                config->lpBinaryPathName};
  }

  testing::SimulatorControl simulator_ =
      testing::SimulatorFromEnvironment("QUORIN_SERVICE_SIM_HOST", "QUORIN_SERVICE_SIM_CONTROL");
  std::filesystem::path folder_;
  std::filesystem::path program_;
  UniqueServiceHandle manager_;
};

TEST_F(ServiceProgramTest, RegistersItselfAndIsRemovedAgain) {
  ASSERT_EQ(Run("-Service"), 0);
  const auto config = Configuration();
  ASSERT_TRUE(config);
  EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(config->serviceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(config->command, L"\"" + program_.wstring() + L"\"")
      << "its own full path, quoted for the blank in the folder name";

  // Registered again from another folder: the service now runs that copy.
  const std::filesystem::path moved = folder_ / "moved" / "TLDDNSService.exe";
  std::filesystem::create_directories(moved.parent_path());
  std::filesystem::copy_file(program_, moved);
  program_ = moved;
  EXPECT_EQ(Run("/service"), 0) << "registering again is no failure";
  EXPECT_EQ(Configuration().value_or(ServiceConfiguration{}).command,
            L"\"" + moved.wstring() + L"\"");
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceStopped);

  EXPECT_EQ(Run("-UnRegServer"), 0);
  EXPECT_TRUE(WaitUntil(
      [] { return QueryServiceState("TLDDNSService") == platform::kServiceNotInstalled; }));
  EXPECT_EQ(Run("-UnRegServer"), 0) << "removing what is not there leaves it not there";
  EXPECT_EQ(Run("-Install"), 1) << "an unknown switch";
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
}

TEST_F(ServiceProgramTest, KeepsTheRememberedAccountsDomainsUpdatedUntilStopped) {
  Remember("svc", "pw", 1);
  ASSERT_EQ(Run("-Service"), 0);
  UniqueServiceHandle service = Open();
  ASSERT_TRUE(service);
  // Sixty times faster: the monitor's minute between two queries lasts a second.
  ASSERT_TRUE(Start(service.get(), {L"--time-scale", L"60"}));
  ASSERT_EQ(WaitForState(service.get(), SERVICE_RUNNING).dwCurrentState,
            static_cast<DWORD>(SERVICE_RUNNING));

  EXPECT_TRUE(SavedAddress("203.0.113.20")) << Log();
  simulator_.SetAddress("198.51.100.44");
  EXPECT_TRUE(SavedAddress("198.51.100.44")) << Log();
  // The simulator records a save when it arrives and applies it to the accounts after.
  EXPECT_TRUE(WaitUntil([&] {
    return simulator_.Accounts().find("198.51.100.44") != std::string::npos;
  })) << "the account's records now hold the new address";

  SERVICE_STATUS status{};
  ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceRunning);

  const auto stopAsked = std::chrono::steady_clock::now();
  ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
  status = WaitForState(service.get(), SERVICE_STOPPED);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, 8s);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));

  const std::string log = Log();
  EXPECT_NE(log.find("logged in as svc"), std::string::npos) << log;
  EXPECT_NE(log.find("address: 198.51.100.44"), std::string::npos) << log;
  EXPECT_NE(log.find("stopped"), std::string::npos) << log;

  // A removed service stays until the last handle to it is closed.
  service.reset();
  EXPECT_EQ(Run("-UnRegServer"), 0);
  EXPECT_TRUE(WaitUntil(
      [] { return QueryServiceState("TLDDNSService") == platform::kServiceNotInstalled; }));
}

TEST_F(ServiceProgramTest, StopsWithItsOwnCodeWhenItCannotLogInOrStart) {
  ASSERT_EQ(Run("-Service"), 0);
  const UniqueServiceHandle service = Open();
  ASSERT_TRUE(service);

  // No profile file at all, then one that does not remember the password.
  for (bool withFile : {false, true}) {
    if (withFile)
      Remember("svc", "pw", 0);
    ASSERT_TRUE(Start(service.get(), {}));
    const SERVICE_STATUS status = WaitForState(service.get(), SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 2u) << "no account to log in with";
  }
  EXPECT_NE(Log().find("no account to log in with"), std::string::npos) << Log();

  Remember("svc", "pw", 1);
  ASSERT_TRUE(Start(service.get(), {L"--time-scale", L"fast"}));
  const SERVICE_STATUS status = WaitForState(service.get(), SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(status.dwServiceSpecificExitCode, 5u) << "start parameters it cannot use";
}

TEST_F(ServiceProgramTest, AFailedLoginIsTriedAgainWhileTheServiceRuns) {
  Remember("svc", "old password", 1);
  ASSERT_EQ(Run("-Service"), 0);
  const UniqueServiceHandle service = Open();
  ASSERT_TRUE(service);
  // Six hundred times faster: the 30 s between two logins last 50 ms.
  ASSERT_TRUE(Start(service.get(), {L"--time-scale", L"600"}));
  ASSERT_EQ(WaitForState(service.get(), SERVICE_RUNNING).dwCurrentState,
            static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(WaitUntil(
      [&] {
        const std::string log = Log();
        const auto first = log.find("login failed");
        return first != std::string::npos &&
               log.find("login failed", first + 1) != std::string::npos;
      },
      20s))
      << Log();

  // The password changes at the provider to the remembered one: the next try gets in.
  std::string accounts = kAccounts;
  accounts.replace(accounts.find("\"pw\""), 4, "\"old password\"");
  simulator_.SetAccounts(accounts);
  EXPECT_TRUE(SavedAddress("203.0.113.20")) << Log();
  EXPECT_EQ(QueryServiceState("TLDDNSService"), platform::kServiceRunning);
}

}  // namespace
}  // namespace quorin::shelltest
