// Start-up with the outside components: the vendor build's account library and the skin
// control.
#include <windows.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

class OutsideComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetClientSettings(); }
  void TearDown() override { ResetClientSettings(); }
};

TEST_F(OutsideComponentsTest, TheVendorBuildTakesThePresetAccountAndLogsInAutomatically) {
  InstallCopy install;
  install.Write(L"K4DDNSUtil.ini", "[Account]\r\nUser=vendoruser\r\nPassword=secret\r\n");
  SetClientSetting("vendor", "oemvnd1");
  ClientRun run(install);
  ASSERT_NE(run.MainWindow(), nullptr);
  EXPECT_EQ(ClientSetting("autoLogin"), "1");
  // The automatic login finds no remembered account name and says so.
  const HWND message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(ControlText(message, IDC_MESSAGE_TEXT), L"Please enter your account name.");
  PostButtonClick(message, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(message); }));
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(OutsideComponentsTest, AVendorBuildWithoutAnAccountEndsAfterTheLibrarysMessage) {
  InstallCopy install;
  SetClientSetting("vendor", "oemvnd1");
  ClientRun run(install);
  // The library reports through the client's own message dialog, whose address it was given.
  const HWND message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_NE(ControlText(message, IDC_MESSAGE_TEXT).find(L"No preset account"), std::wstring::npos);
  PostButtonClick(message, IDOK);
  ASSERT_TRUE(run.WaitForExit().has_value());
  EXPECT_EQ(ClientSetting("autoLogin"), std::nullopt);
}

TEST_F(OutsideComponentsTest, AVendorBuildWithoutTheLibraryEndsAfterItsMessage) {
  InstallCopy install;
  install.Remove(L"K4DDNSUtil.dll");
  SetClientSetting("vendor", "oemvnd1");
  ClientRun run(install);
  const HWND message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(ControlText(message, IDC_MESSAGE_TEXT), L"不能装载动态链接库\"K4DDNSUtil.dll\"！");
  PostButtonClick(message, IDOK);
  EXPECT_TRUE(run.WaitForExit().has_value());
}

TEST_F(OutsideComponentsTest, TheVendorValueIsComparedExactly) {
  InstallCopy install;  // no K4DDNSUtil.ini: the vendor build would end
  for (const char* vendor : {"OEMVND1", "oemvnd1 ", "oemvnd"}) {
    SetClientSetting("vendor", vendor);
    ClientRun run(install);
    ASSERT_NE(run.MainWindow(), nullptr) << vendor;
    EXPECT_EQ(ClientSetting("autoLogin"), std::nullopt) << vendor;
    EXPECT_TRUE(run.ExitThroughTheButton());
  }
}

TEST_F(OutsideComponentsTest, WithoutTheSkinControlTheClientSaysSoAndGoesOn) {
  InstallCopy install;
  install.Remove(L"QuorinSkin.dll");
  ClientRun run(install);
  const HWND message = run.MessageDialog();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(
      ControlText(message, IDC_MESSAGE_TEXT),
      L"Could not initialize ActiveSkin control.\nPlease make sure it is installed properly.");
  PostButtonClick(message, IDOK);
  ASSERT_NE(run.MainWindow(), nullptr);
  EXPECT_TRUE(run.ExitThroughTheButton());
}

}  // namespace
}  // namespace quorin::shelltest
