#include "client/record/domain_rows.h"

#include <gtest/gtest.h>

namespace quorin::client {
namespace {

ClientState TwoZones() {
  ClientState state;
  ZoneRecord first;
  first.zoneName = "example.test";
  first.zoneText2 = "VIP";
  first.zoneText3 = "2027-01-31";
  first.hosts[0].label = "www";
  first.hosts[0].address = "198.51.100.1";
  first.hosts[0].enabled = true;
  first.hosts[2].label = "example";  // a label that is also the start of the zone's name
  first.hosts[2].address = "198.51.100.1";
  first.hosts[2].enabled = true;
  ZoneRecord second;
  second.zoneName = "other.test";
  second.hosts[0].label = "www";
  second.hosts[0].address = "198.51.100.9";
  state.zones[0] = first;
  state.zones[3] = second;
  return state;
}

TEST(DomainRows, RowTextsAreReadBackToTheNamesTheyWereMadeOf) {
  const ClientState state = TwoZones();
  EXPECT_EQ(ZoneRowText(*state.zones[0]), "example.test    [ VIP  --  2027-01-31 ]");
  EXPECT_EQ(ZoneRowText(*state.zones[3]), "other.test    [   --   ]");
  EXPECT_EQ(ZoneNameOfRow(ZoneRowText(*state.zones[0])), "example.test");
  EXPECT_EQ(ZoneNameOfRow("bare.test"), "bare.test") << "no blank: the whole text";

  EXPECT_EQ(HostRowText("www", "example.test"), "www.example.test");
  EXPECT_EQ(LabelOfRow("www.example.test", "example.test"), "www");
  // The label is what stands before the zone at the end, not before its first appearance.
  EXPECT_EQ(LabelOfRow("example.example.test", "example.test"), "example");
  EXPECT_EQ(LabelOfRow("a.b.example.test", "example.test"), "a.b");
  EXPECT_EQ(LabelOfRow("test", "example.test"), "") << "too short for a label";
}

TEST(DomainRows, EditsMarkChangedAddressesAndResendAllMarksOnlyTheFirstRecord) {
  ClientState state = TwoZones();
  bool resendAll = true;
  std::vector<HostRowEdit> rows = {
      {"example.test", "www", "198.51.100.1", false, false},
      {"example.test", "example", "203.0.113.5", true, true},
      {"other.test", "www", "198.51.100.9", false, false},
      {"example.test", "gone", "1.2.3.4", false, false},  // no such record: skipped
  };
  EXPECT_EQ(ApplyHostRowEdits(state, rows, resendAll), 3);
  EXPECT_FALSE(resendAll);
  const auto& www = state.zones[0]->hosts[0];
  EXPECT_TRUE(www.changed) << "the first record found carries the resend mark";
  EXPECT_EQ(www.address, "198.51.100.1");
  EXPECT_TRUE(www.enabled);
  const auto& edited = state.zones[0]->hosts[2];
  EXPECT_TRUE(edited.changed);
  EXPECT_EQ(edited.address, "203.0.113.5");
  EXPECT_FALSE(edited.enabled) << "a checked second cell pauses the record";
  EXPECT_TRUE(edited.optionFlag);
  const auto& other = state.zones[3]->hosts[0];
  EXPECT_FALSE(other.changed) << "unchanged and after the first record: no mark";
  EXPECT_TRUE(other.enabled);

  // The next save without edits marks nothing: the resend flag is spent.
  ClearChangedMarks(state);
  EXPECT_EQ(ApplyHostRowEdits(state, rows, resendAll), 3);
  for (const auto& zone : state.zones) {
    if (zone) {
      for (const auto& host : zone->hosts)
        EXPECT_FALSE(host.changed) << host.label.str();
    }
  }
}

}  // namespace
}  // namespace quorin::client
