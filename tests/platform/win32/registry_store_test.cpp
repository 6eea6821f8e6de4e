#include "platform/win32/registry_store.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/autostart.h"

namespace quorin::platform {
namespace {

// Each test works below a key of its own in the test prefix's registry.
constexpr std::string_view kTestKey = "SOFTWARE\\QuorinTests\\Registry";

class RegistryStoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\QuorinTests");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuorinTests");
  }
  RegistryStore store_;
};

TEST_F(RegistryStoreTest, WritesAndReadsBackStringValues) {
  EXPECT_FALSE(store_.KeyExists(RootKey::CurrentUser, kTestKey));
  EXPECT_FALSE(store_.Read(RootKey::CurrentUser, kTestKey, "isLog")) << "absent key";
  ASSERT_TRUE(store_.Write(RootKey::CurrentUser, kTestKey, "isLog", "1"));
  EXPECT_TRUE(store_.KeyExists(RootKey::CurrentUser, kTestKey));
  EXPECT_EQ(store_.Read(RootKey::CurrentUser, kTestKey, "isLog"), "1");
  EXPECT_EQ(store_.Read(RootKey::CurrentUser, kTestKey, "ISLOG"), "1") << "names ignore case";
  EXPECT_FALSE(store_.Read(RootKey::CurrentUser, kTestKey, "absent"));
  ASSERT_TRUE(store_.Write(RootKey::CurrentUser, kTestKey, "empty", ""));
  EXPECT_EQ(store_.Read(RootKey::CurrentUser, kTestKey, "empty"), "");
}

TEST_F(RegistryStoreTest, StoresRegSzWithTheTextAndItsTerminator) {
  ASSERT_TRUE(store_.Write(RootKey::CurrentUser, kTestKey, "curVersion", "ver4.2.0"));
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\QuorinTests\\Registry", 0, KEY_READ,
                            &key),
            ERROR_SUCCESS);
  DWORD type = 0;
  wchar_t data[32] = {};
  DWORD size = sizeof data;
  EXPECT_EQ(::RegQueryValueExW(key, L"curVersion", nullptr, &type,
                               reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(data), L"ver4.2.0");
  EXPECT_EQ(size, 9 * sizeof(wchar_t));
}

TEST_F(RegistryStoreTest, KeepsLongAndNonAsciiTextsWhole) {
  const std::string longText(300, 'x');
  ASSERT_TRUE(store_.Write(RootKey::CurrentUser, kTestKey, "long", longText));
  EXPECT_EQ(store_.Read(RootKey::CurrentUser, kTestKey, "long"), longText)
      << "the store itself does not cut; the settings layer applies its own limit";
  const std::string chinese = "tlHost客户端";
  ASSERT_TRUE(store_.Write(RootKey::CurrentUser, kTestKey, chinese, chinese));
  EXPECT_EQ(store_.Read(RootKey::CurrentUser, kTestKey, chinese), chinese);
}

TEST_F(RegistryStoreTest, IgnoresValuesThatAreNotText) {
  ASSERT_TRUE(store_.CreateKey(RootKey::CurrentUser, kTestKey));
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\QuorinTests\\Registry", 0, KEY_WRITE,
                            &key),
            ERROR_SUCCESS);
  const DWORD number = 1;
  ::RegSetValueExW(key, L"dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  ::RegCloseKey(key);
  EXPECT_FALSE(store_.Read(RootKey::CurrentUser, kTestKey, "dword"));
}

TEST_F(RegistryStoreTest, RemovesValuesHarmlessly) {
  EXPECT_TRUE(store_.Remove(RootKey::CurrentUser, kTestKey, "x")) << "no key at all";
  store_.Write(RootKey::CurrentUser, kTestKey, "x", "1");
  EXPECT_TRUE(store_.Remove(RootKey::CurrentUser, kTestKey, "x"));
  EXPECT_FALSE(store_.Read(RootKey::CurrentUser, kTestKey, "x"));
  EXPECT_TRUE(store_.Remove(RootKey::CurrentUser, kTestKey, "x")) << "already gone";
}

TEST_F(RegistryStoreTest, WritesUnderTheLocalMachineRoot) {
  ASSERT_TRUE(store_.Write(RootKey::LocalMachine, kTestKey, "vu", "1"));
  EXPECT_EQ(store_.Read(RootKey::LocalMachine, kTestKey, "vu"), "1");
  EXPECT_FALSE(store_.Read(RootKey::CurrentUser, kTestKey, "vu"));
}

TEST(ClientAutoStart, IsTheCurrentUsersRunValue) {
  AutoStartEntry& entry = ClientAutoStart();
  entry.Remove();
  EXPECT_FALSE(entry.Read());
  ASSERT_TRUE(entry.Write("C:\\Program Files\\Quorin\\QuorinFree.exe"));
  RegistryStore store;
  EXPECT_EQ(store.Read(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "Quorin"),
            "C:\\Program Files\\Quorin\\QuorinFree.exe");
  EXPECT_TRUE(entry.Remove());
  EXPECT_FALSE(entry.Read());
}

}  // namespace
}  // namespace quorin::platform
