// The settings dialog inside a test program: choosing an entry of a fake phone book, and the
// service switch run from the dialog with the installation's TLDDNSService.exe under Wine's
// service manager, which then logs in and saves at the provider simulator (the CTest fixture
// "settings_sim").
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "client/app/message_dialog.h"
#include "client/app/settings_dlg.h"
#include "client/local/profile_file.h"
#include "client/local/service_switch_account.h"
#include "client/local/settings.h"
#include "client/record/client_context.h"
#include "platform/elevated_run.h"
#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/service_test_support.h"
#include "tests/shell/window_test_resources.h"
#include "tests/shell/window_test_support.h"
#include "tests/support/simulator_control.h"
#include "tests/support/temp_path.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUpdateHosts[] = {"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1",
                                        "UpdateHostVip2"};
constexpr const char* kAccounts =
    R"({"users": {"svc": {"password": "pw", "key": "000127.0.0.151-svc", "randText": "RS",
        "zones": [{"name": "example.test", "text2": "x", "text3": "y",
                   "hosts": [{"label": "home", "address": "198.51.100.1", "text3": "z"}]}]}}})";

// The dialog runs modally on a thread of its own, as on the client's UI thread; the test
// drives it from outside through window messages.
class DialogThread {
 public:
  explicit DialogThread(client::SettingsDialogSources sources)
      : thread_([this, sources = std::move(sources)]() mutable {
          client::CSettingsDlg dialog(client::ProcessSettings(), std::move(sources));
          result_ = dialog.DoModal();
        }) {}
  ~DialogThread() { thread_.join(); }
  DialogThread(const DialogThread&) = delete;
  DialogThread& operator=(const DialogThread&) = delete;

  HWND Dialog() {
    HWND found = nullptr;
    WaitUntil([&] {
      found = FindWindowWithControls(::GetCurrentProcessId(), {IDC_SERVICE_MODE, IDC_DIAL_ENTRIES});
      return found != nullptr;
    });
    return found;
  }
  // The client's message dialog, once it shows; its text.
  std::wstring AnswerMessage() {
    HWND message = nullptr;
    WaitUntil([&] {
      message = FindWindowWithControls(::GetCurrentProcessId(), {IDC_MESSAGE_TEXT});
      return message != nullptr;
    });
    if (message == nullptr)
      return L"(no message)";
    const std::wstring text = ControlText(message, IDC_MESSAGE_TEXT);
    PostButtonClick(message, IDOK);
    WaitUntil([&] { return !::IsWindow(message); });
    return text;
  }
  INT_PTR Finish() {
    thread_.join();
    thread_ = std::thread([] {});
    return result_;
  }

 private:
  INT_PTR result_ = 0;
  std::thread thread_;
};

class SettingsSwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(UseInstalledResources(), nullptr);
    client::SetMessageBoxTickPeriod(10min);  // messages wait for the test's answer
    RemoveClientSetting("defaultAutoDial");
  }
  void TearDown() override {
    RemoveClientSetting("defaultAutoDial");
    RemoveClientSetting("runAsServic");
  }
};

client::SettingsDialogSources FakeSources(std::vector<std::string> entries) {
  client::SettingsDialogSources sources;
  sources.phoneBook = [entries] { return entries; };
  sources.service.queryState = [](std::string_view) { return platform::kServiceNotInstalled; };
  sources.service.runElevated = [](std::string_view, std::string_view, void*) {
    return platform::ElevatedRunResult{};
  };
  sources.service.start = [](std::string_view) {};
  sources.account.hasCredentials = [] { return false; };
  sources.account.rememberAccount = [] {};
  sources.account.restoreAccount = [] {};
  return sources;
}

TEST_F(SettingsSwitchTest, ChoosesAnEntryOfThePhoneBook) {
  SetClientSetting("defaultAutoDial", "1");
  DialogThread run(FakeSources({"Office VPN", "拨号连接"}));
  const HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  const HWND list = ::GetDlgItem(dialog, IDC_DIAL_ENTRIES);
  ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(ControlText(dialog, IDC_DIAL_ENTRY_NAME), L"拨号连接") << "the stored entry";

  // Nothing selected: the dialog asks the user to select an entry (text 57686).
  PostButtonClick(dialog, IDC_CHOOSE_DIAL_ENTRY);
  EXPECT_EQ(run.AnswerMessage(), L"Please choose a dial-up connection first.");
  EXPECT_EQ(ControlText(dialog, IDC_DIAL_ENTRY_NAME), L"拨号连接");

  ::SendMessageW(list, LB_SETCURSEL, 0, 0);
  PostButtonClick(dialog, IDC_CHOOSE_DIAL_ENTRY);
  EXPECT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_DIAL_ENTRY_NAME) == L"Office VPN"; }));
  PostButtonClick(dialog, IDOK);
  EXPECT_EQ(run.Finish(), IDOK);
  EXPECT_EQ(client::ProcessSettings().DefaultAutoDial(), 0);
}

// The switch stores the account before it starts the service, which reads it only then: just
// after a login without a remembered password, the service still logs in and saves.
TEST_F(SettingsSwitchTest, SwitchedOnFromTheDialogTheServiceLogsInAndSaves) {
  testing::SimulatorControl simulator =
      testing::SimulatorFromEnvironment("QUORIN_SETTINGS_SIM_HOST", "QUORIN_SETTINGS_SIM_CONTROL");
  simulator.SetAccounts(kAccounts);
  simulator.ClearFaults();
  simulator.SetAddress("203.0.113.77");
  for (const char* name : kUpdateHosts)
    SetClientSetting(name, simulator.host());
  RemoveServiceNow(L"TLDDNSService");

  const std::filesystem::path folder = testing::UniqueTempPath("settings switch");
  std::filesystem::create_directories(folder);
  const std::filesystem::path program = folder / "TLDDNSService.exe";
  std::filesystem::copy_file(
      std::filesystem::path(Environment(L"QUORIN_SHELL_INSTALL")) / "TLDDNSService.exe", program);

  // What a login without "remember password" leaves: the account in the record, no file.
  client::ClientContext context;
  context.Edit([](client::ClientState& state) {
    state.userName = "svc";
    state.password = "pw";
    state.key = "000127.0.0.151-svc";
  });
  client::SettingsDialogSources sources;
  sources.phoneBook = [] { return std::vector<std::string>(); };
  sources.service = client::ServiceOperations::System();
  // The client finds TLDDNSService.exe beside itself; the test program names the copy. Wine
  // runs a program started with the "runas" verb as it is.
  sources.service.runElevated = [program](std::string_view, std::string_view arguments,
                                          void* owner) {
    return platform::RunElevated(program.string(), arguments, client::kServiceProgramLimit, owner);
  };
  sources.account =
      client::ProfileServiceSwitchAccount(context, (folder / "userprofie.dat").string());

  {
    DialogThread run(std::move(sources));
    const HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(::IsDlgButtonChecked(dialog, IDC_SERVICE_MODE));
    ::CheckDlgButton(dialog, IDC_SERVICE_MODE, BST_CHECKED);
    PostButtonClick(dialog, IDC_SERVICE_MODE);
    EXPECT_EQ(run.AnswerMessage(),
              L"The QuorinFree service is installed and running. Starting at logon is switched off "
              L"while the service runs.");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_AUTO_START)));
    EXPECT_TRUE(WaitUntil(
        [&] {
          return simulator.Call("GET", "/control/saved").find("203.0.113.77") != std::string::npos;
        },
        60s))
        << "state " << platform::QueryServiceState("TLDDNSService");
    EXPECT_EQ(platform::QueryServiceState("TLDDNSService"), platform::kServiceRunning);

    // Switched off: stopped and removed, autostart free again.
    ::CheckDlgButton(dialog, IDC_SERVICE_MODE, BST_UNCHECKED);
    PostButtonClick(dialog, IDC_SERVICE_MODE);
    EXPECT_EQ(run.AnswerMessage(), L"The QuorinFree service has been removed.");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_AUTO_START)));
    EXPECT_EQ(platform::QueryServiceState("TLDDNSService"), platform::kServiceNotInstalled);
    PostButtonClick(dialog, IDOK);
    EXPECT_EQ(run.Finish(), IDOK);
  }
  EXPECT_EQ(client::ProcessSettings().RunAsService(), false);
  const auto remembered = client::FindProfile((folder / "userprofie.dat").string(), "svc");
  ASSERT_TRUE(remembered.has_value());
  EXPECT_EQ(remembered->savePassword, 1);

  RemoveServiceNow(L"TLDDNSService");
  for (const char* name : kUpdateHosts)
    RemoveClientSetting(name);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

// The user declines the system's prompt: the dialog says so, the box is as it was before the
// click, and the account file is as it was.
TEST_F(SettingsSwitchTest, ADeclinedPromptIsExplainedAndChangesNothing) {
  const std::filesystem::path folder = testing::UniqueTempPath("settings declined");
  std::filesystem::create_directories(folder);
  const std::string profilePath = (folder / "userprofie.dat").string();
  client::ClientContext context;
  context.Edit([](client::ClientState& state) {
    state.userName = "svc";
    state.password = "pw";
    state.key = "000127.0.0.151-svc";
  });
  client::SettingsDialogSources sources = FakeSources({});
  sources.account = client::ProfileServiceSwitchAccount(context, profilePath);
  int prompts = 0;
  sources.service.runElevated = [&prompts](std::string_view, std::string_view, void* owner) {
    ++prompts;
    EXPECT_NE(owner, nullptr) << "the prompt comes up in front of the dialog";
    return platform::ElevatedRunResult{platform::ElevatedRunStatus::kDeclined, -1};
  };
  {
    DialogThread run(std::move(sources));
    const HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    ::CheckDlgButton(dialog, IDC_SERVICE_MODE, BST_CHECKED);
    PostButtonClick(dialog, IDC_SERVICE_MODE);
    EXPECT_EQ(run.AnswerMessage(),
              L"Service mode was not changed: administrator approval is needed, and the request "
              L"was declined.");
    EXPECT_FALSE(::IsDlgButtonChecked(dialog, IDC_SERVICE_MODE));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(dialog) != FALSE; }))
        << "the wait gives the dialog back";
    PostButtonClick(dialog, IDCANCEL);
    run.Finish();
  }
  EXPECT_EQ(prompts, 1);
  EXPECT_FALSE(std::filesystem::exists(profilePath)) << "no password stays behind";
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace quorin::shelltest
