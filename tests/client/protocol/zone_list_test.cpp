#include "client/protocol/zone_list.h"

#include <gtest/gtest.h>

#include "client/protocol/upgrade_info.h"
#include "client/texts/field_split.h"
#include "test_settings.h"

namespace quorin::client {
namespace {

class ZoneListTest : public ::testing::Test {
 protected:
  testing::TestSettings test_;
  Settings& settings_ = test_.settings;
};

TEST(SplitFields, ReadsTextsAsTheClientAlwaysHas) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitFields("a|b|c", '|'), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitFields("a||b", '|'), (V{"a", "", "b"}));
  EXPECT_EQ(SplitFields("|a", '|'), (V{"", "a"}));
  EXPECT_EQ(SplitFields("a|", '|'), (V{"a"})) << "no empty last field";
  EXPECT_EQ(SplitFields("|", '|'), (V{""}));
  EXPECT_EQ(SplitFields("", '|'), V{});
  EXPECT_EQ(SplitFields(std::string(5000, 'x') + "|y", '|').size(), 2u) << "no length limit";
}

TEST_F(ZoneListTest, ParsesAZoneWithKindsAndClearsExpired) {
  bool expired = true;
  const ZoneRecord zone =
      ParseZone("example.net,x,y|www,1.2.3.4,z,A|ftp,1.2.3.4,z", expired, settings_);
  EXPECT_EQ(zone.zoneName, "example.net");
  EXPECT_EQ(zone.zoneText2, "x");
  EXPECT_EQ(zone.zoneText3, "y");
  EXPECT_EQ(zone.hosts[0].label, "www");
  EXPECT_EQ(zone.hosts[0].address, "1.2.3.4");
  EXPECT_EQ(zone.hosts[0].hostText3, "z");
  EXPECT_EQ(zone.hosts[0].kind, 'A');
  EXPECT_EQ(zone.hosts[1].label, "ftp");
  EXPECT_EQ(zone.hosts[1].kind, '\0');
  EXPECT_TRUE(zone.hosts[2].IsFree());
  EXPECT_FALSE(expired) << "the last label is ftp";
  EXPECT_TRUE(zone.hosts[0].enabled && zone.hosts[0].optionFlag) << "absent marks read as on";
  EXPECT_FALSE(zone.hosts[0].changed);
}

TEST_F(ZoneListTest, ExpiredFollowsTheLastHostOfEachZone) {
  bool expired = true;
  ParseZone("example.net,x,y", expired, settings_);
  EXPECT_TRUE(expired) << "a zone without hosts does not decide";
  ParseZone("example.net,x,y|www,1.1.1.1,z,A|expired,0.0.0.0,", expired, settings_);
  EXPECT_TRUE(expired);
  ParseZone("example.net|Expired,0.0.0.0,", expired, settings_);
  EXPECT_FALSE(expired) << "the label must be exactly expired";
  ParseZone("example.net|expired,0.0.0.0,", expired, settings_);
  EXPECT_FALSE(expired) << "parsing never sets the mark again";
}

TEST_F(ZoneListTest, HostMarksComeFromTheSettings) {
  settings_.SetHostRecordFlags("www.example.net", false, true);
  settings_.SetHostRecordFlags("ftp.example.net", true, false);
  bool expired = true;
  ZoneRecord zone =
      ParseZone("example.net,,|www,1.1.1.1,,A|ftp,1.1.1.1,|mail,1.1.1.1,", expired, settings_);
  EXPECT_FALSE(zone.hosts[0].optionFlag);
  EXPECT_TRUE(zone.hosts[0].enabled);
  EXPECT_TRUE(zone.hosts[1].optionFlag);
  EXPECT_FALSE(zone.hosts[1].enabled);
  settings_.WriteSetting("DDNS_NOT_asDefault", "1");
  zone = ParseZone("example.net,,|mail,1.1.1.1,", expired, settings_);
  EXPECT_FALSE(zone.hosts[0].enabled) << "absent marks default to off on request";
}

TEST_F(ZoneListTest, ListLimitsAndLoginReplies) {
  std::string list;
  for (int z = 0; z < 11; ++z) {
    if (z > 0)
      list += "#";
    list += "zone" + std::to_string(z) + ".net,a,b";
    for (int h = 0; h < 21; ++h)
      list += "|h" + std::to_string(h) + ",10.0.0." + std::to_string(h) + ",t,A";
  }
  ASSERT_GT(list.size(), 1023u) << "longer than the old parse limit";
  ZoneSlots slots;
  bool expired = true;
  ParseZoneList(list, slots, expired, settings_);
  for (std::size_t i = 0; i < kMaxZones; ++i) {
    ASSERT_TRUE(slots[i].has_value());
    EXPECT_EQ(slots[i]->zoneName, "zone" + std::to_string(i) + ".net");
    EXPECT_EQ(slots[i]->hosts[19].label, "h19") << "twenty hosts, the twenty-first ignored";
  }
  EXPECT_FALSE(expired);

  // Occupied slots are kept; new zones go into the free ones, the rest are dropped.
  ZoneSlots partly;
  partly[1].emplace().zoneName = "kept.net";
  ParseZoneList("00key=K&randText=R&%a.net,,|www,1.1.1.1,,A#b.net,,", partly, expired, settings_);
  EXPECT_EQ(partly[0]->zoneName, "a.net") << "a login reply is read after its '%'";
  EXPECT_EQ(partly[1]->zoneName, "kept.net");
  EXPECT_EQ(partly[2]->zoneName, "b.net");

  ZoneSlots plain;
  ParseZoneList("a.net,,|www,1.1.1.1,,A%other", plain, expired, settings_);
  EXPECT_EQ(plain[0]->zoneName, "a.net") << "no key=: the first field is the list";
  ZoneSlots none;
  ParseZoneList("", none, expired, settings_);
  EXPECT_FALSE(none[0].has_value());
}

TEST_F(ZoneListTest, FormatsOnlyChangedAndEnabledHosts) {
  bool expired = true;
  ZoneRecord zone = ParseZone("example.net,x,y|www,1.2.3.4,z,A|ftp,1.2.3.4,z", expired, settings_);
  EXPECT_EQ(FormatZone(zone, settings_), "") << "nothing changed";

  zone.hosts[0].changed = true;
  EXPECT_EQ(FormatZone(zone, settings_), "example.net,x,y|www,1.2.3.4,z,A");
  zone.hosts[0].changed = false;
  zone.hosts[1].changed = true;
  EXPECT_EQ(FormatZone(zone, settings_), "example.net,x,y|ftp,1.2.3.4,z,")
      << "kind 0 ends at the comma";
  zone.hosts[1].enabled = false;
  EXPECT_EQ(FormatZone(zone, settings_), "") << "changed but not enabled";
  EXPECT_EQ(test_.Stored("ftp.example.net"), "10") << "the marks are stored on the way";
  EXPECT_EQ(test_.Stored("www.example.net"), "11");

  ZoneSlots slots;
  slots[0] = ParseZone("quiet.net,,|www,1.1.1.1,,A", expired, settings_);
  slots[1] = ParseZone("loud.net,,|www,2.2.2.2,,A", expired, settings_);
  slots[1]->hosts[0].changed = true;
  EXPECT_EQ(FormatZoneList(slots, settings_), "#loud.net,,|www,2.2.2.2,,A") << "starts with #";
  slots[0]->hosts[0].changed = true;
  EXPECT_EQ(FormatZoneList(slots, settings_),
            "quiet.net,,|www,1.1.1.1,,A#loud.net,,|www,2.2.2.2,,A");
}

TEST_F(ZoneListTest, RecordKeepsOrReplacesItsZones) {
  ClientContext context;
  AddZonesFromReply(context, "00key=K&randText=R&%a.net,,|www,1.1.1.1,,A", settings_);
  ClientState state = context.Snapshot();
  ASSERT_TRUE(state.zones[0]);
  EXPECT_FALSE(state.expired);
  AddZonesFromReply(context, "00key=K&%b.net,,|expired,0.0.0.0,", settings_);
  state = context.Snapshot();
  EXPECT_EQ(state.zones[0]->zoneName, "a.net");
  EXPECT_EQ(state.zones[1]->zoneName, "b.net");

  ReplaceZonesFromReply(context, "c.net,,|mail,3.3.3.3,,A", settings_);
  state = context.Snapshot();
  EXPECT_EQ(state.zones[0]->zoneName, "c.net");
  EXPECT_FALSE(state.zones[1].has_value());
}

TEST(UpgradeInfo, ParsesVersionBaseAndItems) {
  UpgradeInfo info;
  ParseUpgradeInfo("t1|base|a.exe,100;b.dll,200", info);
  EXPECT_EQ(info.text1, "t1");
  EXPECT_EQ(info.baseLocation, "base");
  EXPECT_EQ(info.count, 2);
  EXPECT_EQ(info.items[0].name, "a.exe");
  EXPECT_EQ(info.items[0].value, 100);
  EXPECT_EQ(info.items[1].name, "b.dll");
  EXPECT_EQ(info.items[1].value, 200);

  UpgradeInfo odd;
  ParseUpgradeInfo("4.3|http://h/u|dir/c.exe,abc;d.exe, 42x;e.exe", odd);
  EXPECT_EQ(odd.items[0].name, "dir/c.exe");
  EXPECT_EQ(odd.items[0].value, 0) << "a size that is no number reads as 0";
  EXPECT_EQ(odd.items[1].value, 42);
  EXPECT_EQ(odd.items[2].value, 0);
  EXPECT_EQ(odd.count, 3);

  UpgradeInfo many;
  std::string items;
  for (int i = 0; i < 12; ++i)
    items += "f" + std::to_string(i) + ",1;";
  ParseUpgradeInfo("v|b|" + items, many);
  EXPECT_EQ(many.count, 10);

  UpgradeInfo kept;
  kept.baseLocation = "old";
  ParseUpgradeInfo("v2", kept);
  EXPECT_EQ(kept.text1, "v2");
  EXPECT_EQ(kept.baseLocation, "old") << "a missing field leaves its target";
  EXPECT_EQ(kept.count, 0);
  ParseUpgradeInfo("", kept);
  EXPECT_EQ(kept.text1, "v2");
}

}  // namespace
}  // namespace quorin::client
