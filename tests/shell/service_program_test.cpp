// TLDDNSService.exe of the installation under Wine's service manager: its registration
// commands, and the service itself keeping the remembered account's domains updated at the
// provider simulator (started by the CTest fixture "service_sim").
#include <windows.h>

#include <shlobj.h>

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

// Where a 32-bit client run without administrator rights leaves its settings and files on a
// real Windows: the user's virtualised copies. Wine virtualises nothing, so the tests lay them
// out by hand where Windows would.
std::wstring VirtualSettingsKey() {
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  return wow64 ? L"Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\tilro\\tlHost"
               : L"Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\tilro\\tlHost";
}

void SetVirtualSetting(const wchar_t* name, const std::wstring& value) {
  platform::UniqueRegistryKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, VirtualSettingsKey().c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
}

std::optional<std::wstring> Setting(const wchar_t* name) {
  wchar_t data[256] = {};
  DWORD bytes = sizeof data - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, data,
                     &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(data);
}

std::filesystem::path LocalAppData() {
  wchar_t* raw = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &raw)))
    return {};
  const std::filesystem::path path(raw);
  ::CoTaskMemFree(raw);
  return path;
}

// The user's virtualised copy of `folder`: "%LOCALAPPDATA%\VirtualStore\<folder without drive>".
std::filesystem::path VirtualFolder(const std::filesystem::path& folder) {
  return LocalAppData() / "VirtualStore" / folder.relative_path();
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
         {L"UpdateHostFree1", L"UpdateHostFree2", L"UpdateHostVip1", L"UpdateHostVip2",
          L"LoginSvrIP", L"isLog", L"home.example.test", L"nas.example.test"})
      ClearSetting(name);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, VirtualSettingsKey().c_str());
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    std::filesystem::remove_all(VirtualFolder(folder_), ignored);
  }

  void Remember(const char* user, const char* password, int savePassword) {
    RememberIn(folder_, user, password, savePassword);
  }
  // As a client without administrator rights remembers an account: in the user's copy.
  void RememberAsUser(const char* user, const char* password) {
    std::filesystem::create_directories(VirtualFolder(folder_));
    RememberIn(VirtualFolder(folder_), user, password, 1);
  }
  static void RememberIn(const std::filesystem::path& folder, const char* user,
                         const char* password, int savePassword) {
    client::UserProfile profile;
    profile.userName = user;
    profile.password = password;
    profile.savePassword = savePassword;
    ASSERT_TRUE(client::SaveProfile((folder / "userprofie.dat").string(), profile, true));
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

// The registration runs with administrator rights and hands the service what the registering
// user sees: their account file and per-host flags from their virtualised copies, where a real
// Windows leaves what a client without administrator rights writes. Destinations it takes only
// from the machine's key.
TEST_F(ServiceProgramTest, TheRegistrationTakesTheUsersAccountAndPreferencesButNoServers) {
  RememberAsUser("svc", "pw");
  SetVirtualSetting(L"nas.example.test", L"10");  // the user paused this record
  SetVirtualSetting(L"isLog", L"1");
  // A server only the user's copy names, and another update host than the machine's.
  SetVirtualSetting(L"LoginSvrIP", L"192.0.2.66");
  SetVirtualSetting(L"UpdateHostFree1", L"192.0.2.77");
  ASSERT_FALSE(std::filesystem::exists(folder_ / "userprofie.dat"));

  ASSERT_EQ(Run("-Service"), 0) << Log();

  const auto account = client::FindProfile((folder_ / "userprofie.dat").string(), "svc");
  ASSERT_TRUE(account.has_value()) << Log();
  EXPECT_EQ(account->password.str(), "pw");
  EXPECT_EQ(Setting(L"nas.example.test"), L"10");
  EXPECT_EQ(Setting(L"isLog"), L"1");
  EXPECT_EQ(Setting(L"UpdateHostFree1"), Wide(simulator_.host()));
  EXPECT_FALSE(Setting(L"LoginSvrIP").has_value());
  const std::string log = Log();
  EXPECT_NE(log.find("not taken from the user's own settings: LoginSvrIP"), std::string::npos)
      << log;
  EXPECT_NE(log.find("not taken from the user's own settings: UpdateHostFree1"), std::string::npos)
      << log;

  // The user whose copies the service reads later is recorded where only administrators write.
  wchar_t recorded[200] = {};
  DWORD bytes = sizeof recorded - sizeof(wchar_t);
  EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE,
                           L"SYSTEM\\CurrentControlSet\\Services\\TLDDNSService\\Parameters",
                           L"RegisteredBy", RRF_RT_REG_SZ, nullptr, recorded, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(recorded).rfind(L"S-1-5-", 0), 0u) << recorded;

  // The account file the service reads is its own: a later change in the user's copy reaches
  // it only through another registration.
  RememberAsUser("svc", "changed");
  EXPECT_EQ(client::FindProfile((folder_ / "userprofie.dat").string(), "svc")->password.str(),
            "pw");
  ASSERT_EQ(Run("-Service"), 0);
  EXPECT_EQ(client::FindProfile((folder_ / "userprofie.dat").string(), "svc")->password.str(),
            "changed");
}

// End to end: a client without administrator rights left the account and its choices in the
// user's copies; the service logs in with that account, leaves the record the user paused
// alone, and writes the event log because the user switched it on after the registration.
TEST_F(ServiceProgramTest, TheServiceHonoursWhatTheUserChoseInTheWindow) {
  RememberAsUser("svc", "pw");
  ASSERT_EQ(Run("-Service"), 0) << Log();
  SetVirtualSetting(L"nas.example.test", L"10");
  SetVirtualSetting(L"isLog", L"1");
  ASSERT_FALSE(Setting(L"isLog").has_value()) << "only the user's copy switches logging on";

  UniqueServiceHandle service = Open();
  ASSERT_TRUE(service);
  ASSERT_TRUE(Start(service.get(), {L"--time-scale", L"60"}));
  EXPECT_TRUE(SavedAddress("203.0.113.20")) << Log();
  std::string accounts;
  EXPECT_TRUE(WaitUntil([&] {
    accounts = simulator_.Accounts();
    return accounts.find("203.0.113.20") != std::string::npos;
  })) << Log();
  const auto nas = accounts.find("\"nas\"");
  ASSERT_NE(nas, std::string::npos) << accounts;
  EXPECT_EQ(accounts.find("203.0.113.20", nas), std::string::npos)
      << "the paused record keeps its address: " << accounts;
  EXPECT_EQ(accounts.find("203.0.113.20"), accounts.rfind("203.0.113.20")) << accounts;
  EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(folder_ / "quorin.log"); })) << Log();

  SERVICE_STATUS status{};
  ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  EXPECT_EQ(WaitForState(service.get(), SERVICE_STOPPED).dwCurrentState,
            static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_NE(Log().find("logged in as svc"), std::string::npos) << Log();
}

}  // namespace
}  // namespace quorin::shelltest
