#include "client/local/settings.h"

#include <gtest/gtest.h>

#include "client/local/service_settings.h"
#include "platform/memory_settings_store.h"

namespace quorin::client {
namespace {

using platform::RootKey;

// An autostart entry kept in memory.
class FakeAutoStart : public platform::AutoStartEntry {
 public:
  std::optional<std::string> Read() override { return entry; }
  bool Write(std::string_view programPath) override {
    entry = std::string(programPath);
    ++writes;
    return true;
  }
  bool Remove() override {
    entry.reset();
    ++removals;
    return true;
  }
  std::optional<std::string> entry;
  int writes = 0;
  int removals = 0;
};

class SettingsTest : public ::testing::Test {
 protected:
  void Put(std::string_view name, std::string_view text) {
    store_.Write(RootKey::LocalMachine, kSettingsKey, name, text);
  }
  std::optional<std::string> Stored(std::string_view name) {
    return store_.Read(RootKey::LocalMachine, kSettingsKey, name);
  }

  platform::MemorySettingsStore store_;
  FakeAutoStart autoStart_;
  Settings settings_{store_, autoStart_, "C:\\Quorin\\QuorinFree.exe"};
};

TEST_F(SettingsTest, AFreshMachineReadsTheDefaults) {
  const ClientSettings fresh = settings_.ReadClientSettings();
  EXPECT_EQ(fresh, ClientSettings{}) << "everything off, maxLog 100, defaultAutoDial 0";
  EXPECT_EQ(fresh.maxLog, 100);
  EXPECT_TRUE(settings_.AutoVersionCheck());
  EXPECT_TRUE(settings_.WatchAddressChanges());
  EXPECT_TRUE(settings_.WatchRouter());
  EXPECT_TRUE(settings_.CheckAfterResume());
  EXPECT_EQ(settings_.GetCurrentVersion(), "ver4.2.0");
  EXPECT_FALSE(settings_.LastLoginWasVip());
  EXPECT_FALSE(settings_.LoginServerAddress());
  EXPECT_FALSE(settings_.ReadServerIp());
  EXPECT_FALSE(settings_.ErpVariant());
  EXPECT_FALSE(settings_.Vendor());
  EXPECT_FALSE(settings_.ShortcutsRenamed());
  EXPECT_TRUE(store_.Journal().empty()) << "reading never writes";
}

TEST_F(SettingsTest, OnOffValuesAreOnOnlyForExactlyOne) {
  Put("isLog", "2");
  EXPECT_FALSE(settings_.LogEnabled()) << "\"2\" reads as off";
  Put("isLog", "1");
  EXPECT_TRUE(settings_.LogEnabled());
  Put("isLog", " 1abc");
  EXPECT_TRUE(settings_.LogEnabled()) << "the integer reading of the text counts";
  Put("autoLogin", "yes");
  EXPECT_FALSE(settings_.AutoLogin());
  Put("AutoVersionCheck", "0");
  EXPECT_FALSE(settings_.AutoVersionCheck());
  Put("AutoVersionCheck", "2");
  EXPECT_FALSE(settings_.AutoVersionCheck());
  Put("watchAddressChanges", "");
  EXPECT_TRUE(settings_.WatchAddressChanges()) << "an empty value keeps the default";
  settings_.SetWatchAddressChanges(false);
  EXPECT_EQ(Stored("watchAddressChanges"), "0");
  EXPECT_FALSE(settings_.WatchAddressChanges());
  Put("watchAddressChanges", "off");
  EXPECT_FALSE(settings_.WatchAddressChanges());
  Put("watchRouter", "");
  EXPECT_TRUE(settings_.WatchRouter()) << "an empty value keeps the default";
  settings_.SetWatchRouter(false);
  EXPECT_EQ(Stored("watchRouter"), "0");
  EXPECT_FALSE(settings_.WatchRouter());
  Put("checkAfterResume", "");
  EXPECT_TRUE(settings_.CheckAfterResume());
  settings_.SetCheckAfterResume(false);
  EXPECT_EQ(Stored("checkAfterResume"), "0");
  EXPECT_FALSE(settings_.CheckAfterResume());
}

TEST_F(SettingsTest, ErpAndVuCountAnythingButZeroAsOn) {
  Put("erp", "2");
  EXPECT_TRUE(settings_.ErpVariant());
  Put("erp", "0");
  EXPECT_FALSE(settings_.ErpVariant());
  Put("vu", "2");
  EXPECT_EQ(settings_.LastLoginWasVip(), true);
  Put("vu", "0");
  EXPECT_EQ(settings_.LastLoginWasVip(), false);
  settings_.SetLastLoginWasVip(true);
  EXPECT_EQ(Stored("vu"), "1");
}

TEST_F(SettingsTest, NumbersAndVersionsKeepTheirTextForms) {
  settings_.SetMaxLog(250);
  settings_.SetDefaultAutoDial(-1);
  EXPECT_EQ(Stored("maxLog"), "250");
  EXPECT_EQ(Stored("defaultAutoDial"), "-1");
  EXPECT_EQ(settings_.MaxLog(), 250);
  Put("curVersion", "");
  EXPECT_EQ(settings_.GetCurrentVersion(), "ver4.2.0") << "an empty version is the built-in one";
  settings_.SetCurrentVersion("ver4.3.1");
  EXPECT_EQ(settings_.GetCurrentVersion(), "ver4.3.1");
  settings_.SetRunAsService(true);
  EXPECT_EQ(Stored("runAsServic"), "1") << "the stored name is kept letter for letter";
}

TEST_F(SettingsTest, ValuesLongerThan255CharactersReadAsAbsent) {
  Put("curVersion", std::string(255, 'v'));
  EXPECT_EQ(settings_.GetCurrentVersion(), std::string(255, 'v'));
  Put("curVersion", std::string(256, 'v'));
  EXPECT_EQ(settings_.GetCurrentVersion(), "ver4.2.0");
  Put("maxLog", "5" + std::string(300, ' '));
  EXPECT_EQ(settings_.MaxLog(), 100);
}

TEST_F(SettingsTest, ServerIpIsUsedOnlyWhenItIsADottedAddress) {
  Put("ServerIP", "255.255.255.255");
  EXPECT_FALSE(settings_.ReadServerIp());
  Put("ServerIP", "ddns.example.net");
  EXPECT_FALSE(settings_.ReadServerIp());
  Put("ServerIP", "");
  EXPECT_FALSE(settings_.ReadServerIp());
  Put("ServerIP", "198.51.100.4");
  EXPECT_EQ(settings_.ReadServerIp(), "198.51.100.4");
}

TEST_F(SettingsTest, HostRecordFlagsFollowTheirTwoCharacters) {
  EXPECT_TRUE(settings_.GetHostRecordFlags("www.example.com").optionFlag);
  EXPECT_TRUE(settings_.GetHostRecordFlags("www.example.com").enabled);
  Put("DDNS_NOT_asDefault", "3");
  EXPECT_FALSE(settings_.GetHostRecordFlags("www.example.com").optionFlag);
  EXPECT_FALSE(settings_.GetHostRecordFlags("www.example.com").enabled);

  settings_.SetHostRecordFlags("www.example.com", true, false);
  EXPECT_EQ(Stored("www.example.com"), "10");
  const HostRecordFlags flags = settings_.GetHostRecordFlags("www.example.com");
  EXPECT_TRUE(flags.optionFlag);
  EXPECT_FALSE(flags.enabled);

  Put("a.example.com", "2");
  EXPECT_FALSE(settings_.GetHostRecordFlags("a.example.com").optionFlag) << "only '1' is on";
  EXPECT_FALSE(settings_.GetHostRecordFlags("a.example.com").enabled) << "missing character";
  Put("b.example.com", "01");
  EXPECT_TRUE(settings_.GetHostRecordFlags("b.example.com").enabled);
}

TEST_F(SettingsTest, AutoStartIsOneEntryWithTheProgramPath) {
  settings_.SetAutoStart(false);
  EXPECT_FALSE(settings_.AutoStart()) << "turning off an absent entry is harmless";
  settings_.SetAutoStart(true);
  settings_.SetAutoStart(true);
  EXPECT_TRUE(settings_.AutoStart());
  EXPECT_EQ(autoStart_.entry, "C:\\Quorin\\QuorinFree.exe");
  autoStart_.entry = "";
  EXPECT_FALSE(settings_.AutoStart()) << "an empty entry counts as off";
  settings_.SetAutoStart(false);
  EXPECT_FALSE(autoStart_.entry);
}

TEST_F(SettingsTest, ClientSettingsRoundTripInTheirOrder) {
  ClientSettings wanted;
  wanted.autoStart = 1;
  wanted.runAsService = 1;
  wanted.logEnabled = 0;
  wanted.autoDial = 1;
  wanted.autoLogin = 1;
  wanted.autoMinimize = 0;
  wanted.defaultAutoDial = 3;
  wanted.maxLog = 42;
  settings_.WriteClientSettings(wanted);
  EXPECT_EQ(settings_.ReadClientSettings(), wanted);
  EXPECT_EQ(store_.Journal(),
            (std::vector<std::string>{"isAutoDial=1", "isLog=0", "runAsServic=1", "maxLog=42",
                                      "defaultAutoDial=3", "autoLogin=1", "autoMinimize=0"}));
  EXPECT_EQ(autoStart_.writes, 1);
}

TEST_F(SettingsTest, FailedWritesLeaveOldValuesSilently) {
  settings_.SetMaxLog(7);
  store_.SetReadOnly(true);
  settings_.SetMaxLog(9);
  settings_.MarkShortcutsRenamed();
  EXPECT_EQ(settings_.MaxLog(), 7);
  EXPECT_FALSE(settings_.ShortcutsRenamed());
}

TEST_F(SettingsTest, AnyShortcutMarkerCountsAsDone) {
  Put("afterV303", "");
  EXPECT_TRUE(settings_.ShortcutsRenamed());
  Put("afterV303", "0");
  EXPECT_TRUE(settings_.ShortcutsRenamed());
}

TEST_F(SettingsTest, ProviderOverridesIgnoreEmptyValues) {
  EXPECT_FALSE(settings_.ProviderOverride("UpdateHostFree1"));
  Put("UpdateHostFree1", "  ");
  EXPECT_FALSE(settings_.ProviderOverride("UpdateHostFree1"));
  Put("UpdateHostFree1", "127.0.0.9");
  EXPECT_EQ(settings_.ProviderOverride("UpdateHostFree1"), "127.0.0.9");
}

// The service reads the registering user's own copy of the settings for preferences only; what
// decides where the account goes comes from the machine's key whatever the copy holds.
TEST_F(SettingsTest, APreferenceSourceIsAskedForPreferencesOnly) {
  platform::MemorySettingsStore own;
  const auto ownText = [&own](std::string_view name) {
    return own.Read(RootKey::CurrentUser, "copy", name);
  };
  const auto putOwn = [&own](std::string_view name, std::string_view text) {
    own.Write(RootKey::CurrentUser, "copy", name, text);
  };
  settings_.UsePreferenceSource(ownText);
  Put("isLog", "0");
  Put("home.example.test", "11");
  Put("UpdateHostFree1", "127.0.0.9");
  putOwn("isLog", "1");
  putOwn("maxLog", "7");
  putOwn("watchRouter", "0");
  putOwn("home.example.test", "10");
  putOwn("UpdateHostFree1", "192.0.2.66");
  putOwn("LoginSvrIP", "192.0.2.67");
  putOwn("vu", "1");
  EXPECT_TRUE(settings_.LogEnabled());
  EXPECT_EQ(settings_.MaxLog(), 7);
  EXPECT_FALSE(settings_.WatchRouter()) << "the box in the user's settings dialog";
  EXPECT_FALSE(settings_.GetHostRecordFlags("home.example.test").enabled);
  EXPECT_EQ(settings_.ProviderOverride("UpdateHostFree1"), "127.0.0.9");
  EXPECT_FALSE(settings_.LoginServerAddress());
  EXPECT_FALSE(settings_.LastLoginWasVip());

  // A value not in its preference's form is not the client's: the machine's key answers.
  putOwn("home.example.test", "1x");
  putOwn("maxLog", "-5");
  EXPECT_TRUE(settings_.GetHostRecordFlags("home.example.test").enabled);
  EXPECT_EQ(settings_.MaxLog(), 100);
  // Absent from the copy: the machine's key, then the default.
  EXPECT_TRUE(settings_.GetHostRecordFlags("nas.example.test").enabled);
}

TEST(ServiceSettingsTest, KindsOfValues) {
  EXPECT_EQ(ClassifyServiceSetting("isLog"), ServiceSettingKind::kPreference);
  EXPECT_EQ(ClassifyServiceSetting("MAXLOG"), ServiceSettingKind::kPreference)
      << "value names compare without letter case";
  EXPECT_EQ(ClassifyServiceSetting("www.example.test"), ServiceSettingKind::kPreference);
  for (const char* name :
       {"UpdateHostFree1", "updatehostvip2", "LoginSvrIP", "ServerIP", "ProviderSite", "vu"})
    EXPECT_EQ(ClassifyServiceSetting(name), ServiceSettingKind::kDestination) << name;
  // Neither: the window's own options, and names no host can have.
  for (const char* name : {"runAsServic", "autoLogin", "DDNS_NOT_asDefault", ".example", "a.",
                           "a b.test", "a\\b.test", ""})
    EXPECT_EQ(ClassifyServiceSetting(name), ServiceSettingKind::kOther) << name;

  EXPECT_TRUE(IsPreferenceText("isLog", "1"));
  EXPECT_FALSE(IsPreferenceText("isLog", ""));
  EXPECT_FALSE(IsPreferenceText("maxLog", "1e9"));
  EXPECT_TRUE(IsPreferenceText("h.example.test", "01"));
  EXPECT_FALSE(IsPreferenceText("h.example.test", "1"));
  EXPECT_FALSE(IsPreferenceText("h.example.test", "012"));
  EXPECT_FALSE(IsPreferenceText("UpdateHostFree1", "1")) << "no destination is a preference";
}

}  // namespace
}  // namespace quorin::client
