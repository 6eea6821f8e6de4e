#include "updater/version_query.h"

#include <gtest/gtest.h>

#include "fake_http_client.h"
#include "platform/profile_text.h"
#include "temp_folder.h"
#include "updater/query_urls.h"

namespace quorin::updater {
namespace {

using testing::FakeHttpClient;
using testing::FakeReply;

TEST(ParseVersionReply, ReadsTheSixKeysInAnyOrder) {
  const VersionOffer offer = ParseVersionReply(
      "StrictVersion=false\r\nCurrentVersion=2.1.0\r\nURL=/files/update.exe\r\n"
      "CheckSum=0123456789abcdef0123456789abcdef\r\nDescription=Fixes\r\nForceUpdate=true");
  EXPECT_EQ(offer.currentVersion, "2.1.0");
  EXPECT_EQ(offer.url, "/files/update.exe");
  EXPECT_EQ(offer.checkSum, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(offer.description, "Fixes");
  EXPECT_EQ(offer.forceUpdate, "true") << "a last line without a line feed counts";
  EXPECT_EQ(offer.strictVersion, "false");
}

TEST(ParseVersionReply, FollowsTheKeyLineRules) {
  EXPECT_EQ(ParseVersionReply("CurrentVersion= 2.1.0\n").currentVersion, "2.1.0")
      << "leading blanks go";
  EXPECT_EQ(ParseVersionReply("CurrentVersion=2.1.0 \n").currentVersion, "2.1.0 ")
      << "trailing blanks stay";
  EXPECT_EQ(ParseVersionReply("URLX/files/a.exe").url, "/files/a.exe")
      << "the character after the key is skipped, whatever it is";
  EXPECT_EQ(ParseVersionReply("Cur\rrentVer\rsion=2\r.0").currentVersion, "2.0")
      << "carriage returns are dropped wherever they stand";
  EXPECT_EQ(ParseVersionReply("currentversion=2.0").currentVersion, "")
      << "keys are case-sensitive";
  EXPECT_EQ(ParseVersionReply(" CurrentVersion=2.0").currentVersion, "");
  EXPECT_EQ(ParseVersionReply("URL").url, "") << "a bare key gives an empty value";
  EXPECT_EQ(ParseVersionReply("URL=/a\nURL=/b\n").url, "/b") << "a later line replaces";
  EXPECT_EQ(ParseVersionReply("Something=1\n\n").url, "");

  VersionOffer offer = ParseVersionReply("Description=ForceUpdate=true");
  EXPECT_EQ(offer.description, "ForceUpdate=true");
  EXPECT_EQ(offer.forceUpdate, "true") << "the cut text is tested against the later keys";
  offer = ParseVersionReply("ForceUpdate=Description=x");
  EXPECT_EQ(offer.forceUpdate, "Description=x");
  EXPECT_EQ(offer.description, "") << "Description is tested before ForceUpdate";
  offer = ParseVersionReply("CurrentVersion=URL=x");
  EXPECT_EQ(offer.currentVersion, "URL=x");
  EXPECT_EQ(offer.url, "x");
}

TEST(QueryVersion, ReadsOnlyAStatus200AnswerAndBoundsTheWait) {
  FakeHttpClient http;
  EXPECT_EQ(QueryVersion(http, ""), VersionOffer());
  EXPECT_TRUE(http.requests.empty()) << "an empty URL makes no request";

  http.Add({.status = 200, .body = "CurrentVersion=2.0\nURL=/a.exe\n", .chunk = 3});
  const VersionOffer offer = QueryVersion(http, "http://update1/GetNewVersion.php?x=1");
  EXPECT_EQ(offer.currentVersion, "2.0");
  EXPECT_EQ(offer.url, "/a.exe") << "the body is put together from small reads";
  ASSERT_EQ(http.requests.size(), 1u);
  EXPECT_EQ(http.requests[0].url, "http://update1/GetNewVersion.php?x=1");
  EXPECT_EQ(http.requests[0].userAgent, "HttpClient");
  EXPECT_EQ(http.requests[0].openTimeout, std::chrono::milliseconds(4000))
      << "a later answer counts as none";
  EXPECT_EQ(http.requests[0].extraHeaders, "");

  http.Add({.status = 206, .body = "CurrentVersion=2.0\n"});
  EXPECT_EQ(QueryVersion(http, "http://u/"), VersionOffer()) << "only exactly 200 is read";
  http.Add({.status = 500, .body = "CurrentVersion=2.0\n"});
  EXPECT_EQ(QueryVersion(http, "http://u/"), VersionOffer());
  http.Add({.answered = false});
  EXPECT_EQ(QueryVersion(http, "http://u/"), VersionOffer()) << "no answer in time";
  http.Add({.body = "CurrentVersion=2.0\nURL=/a.exe\n", .failAt = 23});
  EXPECT_EQ(QueryVersion(http, "http://u/"), VersionOffer())
      << "a reply broken off by a read error is no answer, not a shorter one (URL=/a)";
  http.Add({.body = "CurrentVersion=2.0\nURL=/a.exe\n", .chunk = 4, .failAt = 30});
  EXPECT_EQ(QueryVersion(http, "http://u/"), VersionOffer())
      << "also when every line has arrived before the error";
}

TEST(QueryVersion, ReadsAtMost64KiBOfTheReply) {
  FakeHttpClient http;
  std::string body = "CurrentVersion=2.0\n" + std::string(kMaxReplyBytes, 'x') + "\nURL=/late\n";
  http.Add({.body = body});
  const VersionOffer offer = QueryVersion(http, "http://u/");
  EXPECT_EQ(offer.currentVersion, "2.0");
  EXPECT_EQ(offer.url, "") << "lines beyond the limit are not read";
  std::size_t asked = 0;
  for (const auto size : http.readSizes)
    asked += size;
  EXPECT_LE(asked, kMaxReplyBytes);
}

TEST(ResolveOfferUrl, MakesRelativeUrlsAbsoluteAgainstThePrimaryUrl) {
  constexpr std::string_view kPrimary =
      "http://update1.tilro.net:8080/svc/GetNewVersion.php?ProductName=a/b";
  EXPECT_EQ(ResolveOfferUrl("/files/a.exe", kPrimary), "http://update1.tilro.net:8080/files/a.exe");
  EXPECT_EQ(ResolveOfferUrl("a.exe", kPrimary),
            "http://update1.tilro.net:8080/svc/GetNewVersion.php?ProductName=a/a.exe")
      << "after the primary URL's last '/', even one inside its query";
  EXPECT_EQ(ResolveOfferUrl("a.exe", "http://u1/svc/q.php"), "http://u1/svc/a.exe");
  EXPECT_EQ(ResolveOfferUrl("https://cdn/a.exe", "http://u1/svc/q.php"),
            "http://u1/svc/https://cdn/a.exe")
      << "only http:// counts as absolute";
  EXPECT_EQ(ResolveOfferUrl("HTTP://cdn/a.exe", kPrimary), "HTTP://cdn/a.exe");
  EXPECT_EQ(ResolveOfferUrl("/a.exe", "http://u1"), "/a.exe") << "no path in the primary URL";
  EXPECT_EQ(ResolveOfferUrl("a.exe", "/q.php"), "a.exe") << "the last '/' at position 0";
  EXPECT_EQ(ResolveOfferUrl("a.exe", "noslash"), "a.exe");
}

TEST(QueryVersionWithFallback, AsksTheSecondaryOnlyWhenThePrimaryOffersNothing) {
  {
    FakeHttpClient http;
    http.Add({.body = "Description=only this\n"});
    http.Add({.body = "CurrentVersion=3.0\nURL=/s/b.exe\n"});
    const VersionOffer offer = QueryVersionWithFallback(http, "http://p/q/v.php", "http://s/v.php");
    ASSERT_EQ(http.requests.size(), 2u);
    EXPECT_EQ(http.requests[1].url, "http://s/v.php");
    EXPECT_EQ(offer.currentVersion, "3.0");
    EXPECT_EQ(offer.description, "") << "the secondary's offer replaces the primary's";
    EXPECT_EQ(offer.url, "http://p/s/b.exe") << "resolved against the primary, not the secondary";
  }
  {
    FakeHttpClient http;
    http.Add({.body = "URL=/a.exe\n"});
    const VersionOffer offer = QueryVersionWithFallback(http, "http://p/v.php", "http://s/v.php");
    EXPECT_EQ(http.requests.size(), 1u) << "a URL alone stops the fallback";
    EXPECT_EQ(offer.url, "/a.exe") << "not resolved without a CurrentVersion";
  }
  {
    FakeHttpClient http;
    http.Add({.answered = false});
    http.Add({.status = 404});
    EXPECT_EQ(QueryVersionWithFallback(http, "http://p/v.php", "http://s/v.php"), VersionOffer());
    EXPECT_EQ(http.requests.size(), 2u);
  }
}

TEST(QueryUrls, BuildTheTwoHostUrlsOrUseTheProductsOwn) {
  ProductInfo info;
  info.productName = "Quorin Free";
  info.vendor = "tilro";
  info.version = "4.2.0";
  info.language = "zh&cn";
  info.osVersionText = "6.1.7601_1.0";
  info.hardwareId = "d41d8cd98f00b204e9800998ecf8427e";
  const QueryUrls urls = ChooseQueryUrls("", {"update1.example", "update2.example:81"}, info);
  EXPECT_EQ(urls.primary,
            "http://update1.example/GetNewVersion.php?ProductName=Quorin%20Free&vendor=tilro"
            "&CurrVersion=4.2.0&Language=zh%26cn&OSVer=6.1.7601_1.0"
            "&HardwareID=d41d8cd98f00b204e9800998ecf8427e")
      << "a blank or '&' in a value cannot end the request line or add a parameter";
  EXPECT_EQ(urls.secondary.substr(0, 30), "http://update2.example:81/GetN");

  // Every one of the six values is encoded: a '#' would cut the query short, a '=' or '+'
  // would change how the service reads it, CR and LF would start a header line.
  info.productName = "Q#1";
  info.vendor = "a=b";
  info.version = "1+2";
  info.language = "x\r\nHost: evil";
  info.osVersionText = "6.1 SP1";
  info.hardwareId = "100%";
  EXPECT_EQ(VersionQueryUrl("h", info),
            "http://h/GetNewVersion.php?ProductName=Q%231&vendor=a%3Db&CurrVersion=1%2B2"
            "&Language=x%0D%0AHost:%20evil&OSVer=6.1%20SP1&HardwareID=100%25");
  info.productName = "用户";
  EXPECT_NE(VersionQueryUrl("h", info).find("?ProductName=用户&vendor="), std::string::npos)
      << "bytes above 127 go as they are, as in the client's requests";

  const QueryUrls own = ChooseQueryUrls("HTTP://own.example/v?x", {"a", "b"}, info);
  EXPECT_EQ(own.primary, "HTTP://own.example/v?x") << "used exactly as stored";
  EXPECT_EQ(own.secondary, own.primary);
}

TEST(QueryUrls, TakeTheHostsFromTheIniFileBesideTheProgram) {
  testing::TempFolder folder;
  const UpdateServiceHosts builtIn = ReadUpdateServiceHosts(folder.File("Brenwick.ini"));
  EXPECT_EQ(builtIn.primary, "update1.tilro.net") << "no file: the built-in hosts";
  EXPECT_EQ(builtIn.secondary, "update2.tilro.net");

  testing::WriteWholeFile(folder.path() / "Brenwick.ini",
                          "; test hosts\r\n[Other]\r\nPrimary=wrong\r\n"
                          "[updateservice]\r\n  primary = 127.0.0.55:18101 \r\nSecondary=\r\n");
  const UpdateServiceHosts hosts = ReadUpdateServiceHosts(folder.File("Brenwick.ini"));
  EXPECT_EQ(hosts.primary, "127.0.0.55:18101") << "names ignore case, blanks around go";
  EXPECT_EQ(hosts.secondary, "update2.tilro.net") << "an empty value keeps the built-in host";
  const UpdateServiceHosts fromText =
      UpdateServiceHostsFromIni(testing::ReadWholeFile(folder.path() / "Brenwick.ini"));
  EXPECT_EQ(fromText.primary, hosts.primary) << "the text is read as the file is";
  EXPECT_EQ(fromText.secondary, hosts.secondary);
}

TEST(ProfileText, ReadsIniValuesAsWindowsDoes) {
  constexpr std::string_view kIni =
      "[A]\nkey=1\nkey=2\n[B]\n;key=commented\nkey = \"quoted value\" \nnoequals\n[C]\n";
  EXPECT_EQ(platform::FindProfileText(kIni, "a", "KEY"), "1") << "the first line counts";
  EXPECT_EQ(platform::FindProfileText(kIni, "B", "key"), "quoted value");
  EXPECT_EQ(platform::FindProfileText(kIni, "C", "key"), "");
  EXPECT_EQ(platform::FindProfileText(kIni, "D", "key"), "");
  EXPECT_EQ(platform::FindProfileText("key=outside\n[A]\n", "A", "key"), "");
}

}  // namespace
}  // namespace quorin::updater
