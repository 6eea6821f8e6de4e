#include <gtest/gtest.h>

#include "platform/memory_settings_store.h"
#include "updater/command_line.h"
#include "updater/os_version_text.h"
#include "updater/product_info.h"

namespace quorin::updater {
namespace {

using platform::RootKey;

constexpr std::string_view kKey = "SOFTWARE\\tilro\\Product";
constexpr std::uint32_t kLocalMachine = 0x80000002u;
constexpr std::uint32_t kCurrentUser = 0x80000001u;

TEST(UpdaterArguments, ReadTheRootLikeAtoiWithThirtyTwoBitWrap) {
  const auto hklm = [](std::string root) {
    return ParseUpdaterArguments({"Brenwick.exe", std::move(root), "SOFTWARE\\x"});
  };
  EXPECT_EQ(hklm("2147483650")->rootNumber, kLocalMachine) << "wraps past INT_MAX";
  EXPECT_EQ(hklm("-2147483646")->rootNumber, kLocalMachine) << "the negative spelling";
  EXPECT_EQ(hklm("2147483649")->rootNumber, kCurrentUser);
  EXPECT_EQ(hklm("  2147483650xyz")->rootNumber, kLocalMachine) << "blanks, then digits only";
  EXPECT_EQ(hklm("HKLM")->rootNumber, 0u) << "no digits reads as 0";
  EXPECT_EQ(hklm("2147483650")->keyPath, "SOFTWARE\\x");
}

TEST(UpdaterArguments, NeedExactlyTwoArgumentsAndCutTheKeyPath) {
  EXPECT_FALSE(ParseUpdaterArguments({"Brenwick.exe"}));
  EXPECT_FALSE(ParseUpdaterArguments({"Brenwick.exe", "2147483650"}));
  EXPECT_FALSE(ParseUpdaterArguments({"Brenwick.exe", "2147483650", "a", "b"}));
  EXPECT_FALSE(ParseUpdaterArguments({}));
  const std::string longPath(300, 'k');
  EXPECT_EQ(ParseUpdaterArguments({"b", "1", longPath})->keyPath, std::string(255, 'k'));
  EXPECT_EQ(UsageText("C:\\Tools\\Brenwick.exe"),
            "Usage:\n\tC:\\Tools\\Brenwick.exe <Registry key> <Registry path>");
}

class ProductInfoTest : public ::testing::Test {
 protected:
  void Put(std::string_view name, std::string_view text, RootKey root = RootKey::LocalMachine) {
    ASSERT_TRUE(store_.Write(root, kKey, name, text));
  }
  ProductInfo Read(std::uint32_t root = kLocalMachine) {
    return ReadProductInfo(store_, root, kKey, "6.1.7601_1.0", "hw");
  }
  platform::MemorySettingsStore store_;
};

TEST_F(ProductInfoTest, ReadsEveryValueWhenAllArePresent) {
  Put("ProductName", "QuorinFree");
  Put("vendor", "tilro");
  Put("version", "4.2.0");
  Put("NewVersionNumber", "4.3.0");
  Put("NewVersionFile", "C:\\Q\\InstallFiles\\q.exe");
  Put("Language", "zh-cn");
  const ProductInfo info = Read();
  EXPECT_EQ(info.productName, "QuorinFree");
  EXPECT_EQ(info.vendor, "tilro");
  EXPECT_EQ(info.version, "4.2.0");
  EXPECT_EQ(info.newVersionNumber, "4.3.0");
  EXPECT_EQ(info.newVersionFile, "C:\\Q\\InstallFiles\\q.exe");
  EXPECT_EQ(info.language, "zh-cn");
  EXPECT_EQ(info.osVersionText, "6.1.7601_1.0");
  EXPECT_EQ(info.hardwareId, "hw");
}

TEST_F(ProductInfoTest, StopsAtTheFirstMissingValue) {
  Put("ProductName", "QuorinFree");
  Put("vendor", "tilro");
  Put("version", "4.2.0");
  Put("Language", "zh-cn");
  ProductInfo info = Read();
  EXPECT_EQ(info.version, "4.2.0");
  EXPECT_EQ(info.language, "") << "no new version recorded yet: Language is not read";

  Put("NewVersionNumber", "4.3.0");
  EXPECT_EQ(Read().language, "") << "NewVersionFile is still missing";
  Put("NewVersionFile", "f");
  EXPECT_EQ(Read().language, "zh-cn");

  platform::MemorySettingsStore noVendor;
  ASSERT_TRUE(noVendor.Write(RootKey::LocalMachine, kKey, "ProductName", "P"));
  ASSERT_TRUE(noVendor.Write(RootKey::LocalMachine, kKey, "version", "1.0"));
  info = ReadProductInfo(noVendor, kLocalMachine, kKey, "", "");
  EXPECT_EQ(info.productName, "P");
  EXPECT_EQ(info.vendor, "");
  EXPECT_EQ(info.version, "") << "read only after vendor succeeded";
}

TEST_F(ProductInfoTest, TreatsValuesLongerThanTheirBufferAsMissing) {
  Put("ProductName", std::string(199, 'p'));
  EXPECT_EQ(Read().productName.size(), 199u) << "199 characters and the NUL fit 200 bytes";
  Put("ProductName", std::string(200, 'p'));
  EXPECT_EQ(Read().productName, "");

  Put("ProductName", "P");
  Put("AutoUpdateURL", "http://" + std::string(492, 'u'));
  EXPECT_EQ(ReadAutoUpdateUrl(store_, kLocalMachine, kKey).size(), 499u);
  Put("AutoUpdateURL", "http://" + std::string(493, 'u'));
  EXPECT_EQ(ReadAutoUpdateUrl(store_, kLocalMachine, kKey), "");
}

TEST_F(ProductInfoTest, ReadsUnderTheRootOfTheCommandLineOnly) {
  Put("ProductName", "UserProduct", RootKey::CurrentUser);
  EXPECT_EQ(Read(kCurrentUser).productName, "UserProduct");
  EXPECT_EQ(Read(kLocalMachine).productName, "");
  EXPECT_EQ(Read(5).productName, "") << "5 names no predefined root";
  EXPECT_EQ(Read(0).productName, "");
}

TEST(OsVersionText, FormatsFiveNumbersOrNothing) {
  EXPECT_EQ(FormatOsVersionText(platform::OsVersion{6, 1, 7601, 1, 0}), "6.1.7601_1.0");
  EXPECT_EQ(FormatOsVersionText(platform::OsVersion{10, 0, 4294967295u, 0, 0}),
            "10.0.4294967295_0.0")
      << "the build number prints all 32 bits unsigned";
  EXPECT_EQ(FormatOsVersionText(std::nullopt), "");
}

}  // namespace
}  // namespace quorin::updater
