#include "platform/memory_settings_store.h"

#include <gtest/gtest.h>

namespace quorin::platform {
namespace {

TEST(MemorySettingsStore, StoresValuesPerRootAndKeyIgnoringCase) {
  MemorySettingsStore store;
  EXPECT_FALSE(store.Read(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost", "isLog"));
  EXPECT_FALSE(store.KeyExists(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost"));
  ASSERT_TRUE(store.Write(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost", "isLog", "1"));
  EXPECT_EQ(store.Read(RootKey::LocalMachine, "software\\TILRO\\tlhost", "ISLOG"), "1");
  EXPECT_FALSE(store.Read(RootKey::CurrentUser, "SOFTWARE\\tilro\\tlHost", "isLog"))
      << "roots are separate";
  EXPECT_TRUE(store.Remove(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost", "IsLog"));
  EXPECT_FALSE(store.Read(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost", "isLog"));
  EXPECT_TRUE(store.Remove(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost", "isLog"))
      << "removing an absent value is harmless";
  EXPECT_TRUE(store.KeyExists(RootKey::LocalMachine, "SOFTWARE\\tilro\\tlHost"));
}

TEST(MemorySettingsStore, ReadOnlyStoreRefusesChangesAndKeepsOldValues) {
  MemorySettingsStore store;
  store.Write(RootKey::LocalMachine, "K", "a", "old");
  store.SetReadOnly(true);
  EXPECT_FALSE(store.Write(RootKey::LocalMachine, "K", "a", "new"));
  EXPECT_FALSE(store.CreateKey(RootKey::LocalMachine, "Other"));
  EXPECT_EQ(store.Read(RootKey::LocalMachine, "K", "a"), "old");
  EXPECT_EQ(store.Journal(), std::vector<std::string>{"a=old"});
}

TEST(RootKeyNumbers, MapToThePredefinedRootsOnly) {
  EXPECT_EQ(RootKeyFromNumber(0x80000002u), RootKey::LocalMachine);
  EXPECT_EQ(RootKeyFromNumber(0x80000001u), RootKey::CurrentUser);
  EXPECT_FALSE(RootKeyFromNumber(0x80000004u)) << "HKEY_PERFORMANCE_DATA holds no settings";
  EXPECT_FALSE(RootKeyFromNumber(0));
  EXPECT_EQ(RootKeyName(RootKey::LocalMachine), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(RootKey::CurrentUser), "HKEY_CURRENT_USER");
}

}  // namespace
}  // namespace quorin::platform
