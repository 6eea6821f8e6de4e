#include "client/protocol/request_builder.h"
#include "platform/system_text.h"

#include <gtest/gtest.h>

namespace quorin::client {
namespace {

TEST(RequestBuilder, GetIsVersionlessWithTwoBlanksAndOneLineFeed) {
  const std::string request = BuildRequestLine("/p.php", false) + BuildParam("a", "1") +
                              BuildParam("b", "2") + BuildBody("ignored", false);
  EXPECT_EQ(request, "GET  /p.php?a=1&b=2&\n");
}

TEST(RequestBuilder, PostIsHttp10WithBareLineFeedsAndUncountedFinalLineFeed) {
  const std::string params = BuildParam("a", "1") + BuildParam("b", "2");
  const std::string request = BuildRequestLine("/p.php", true) + BuildBody(params, true);
  EXPECT_EQ(request,
            "POST /p.php HTTP/1.0\n"
            "Content-Type:application/x-www-form-urlencoded\n"
            "Content-Length:8\n"
            "\n"
            "a=1&b=2&\n");
  EXPECT_EQ(request.find('\r'), std::string::npos) << "no line ends in a carriage return";
}

TEST(RequestBuilder, LongRequestsAreNeverCut) {
  // A save of many changed records is far longer than the old 1024-byte request buffer.
  const std::string value(5000, 'x');
  const std::string params = BuildParam("domain", value);
  const std::string request = BuildRequestLine("/s.php", true) + BuildBody(params, true);
  EXPECT_NE(request.find("Content-Length:5008\n"), std::string::npos);
  EXPECT_TRUE(request.substr(request.size() - 5002) == value + "&\n") << "the value went out whole";
}

TEST(RequestBuilder, EncodesOnlyTheCharactersThatChangeTheRequest) {
  EXPECT_EQ(EncodeParamText("p&ss+w=rd"), "p%26ss%2Bw%3Drd");
  EXPECT_EQ(EncodeParamText("100% sure#1"), "100%25%20sure%231");
  EXPECT_EQ(EncodeParamText("x\r\nHost: evil"), "x%0D%0AHost:%20evil") << "no header injection";
  EXPECT_EQ(EncodeParamText(std::string("a\0b\tc\x7f", 6)), "a%00b%09c%7F");
  // Ordinary values stay byte for byte: addresses, zone texts, keys, UTF-8 names.
  EXPECT_EQ(EncodeParamText("example.net,x,y|www,1.2.3.4,z,A"), "example.net,x,y|www,1.2.3.4,z,A");
  EXPECT_EQ(EncodeParamText("011ns1.example.net-K_9/?:;@"), "011ns1.example.net-K_9/?:;@");
  EXPECT_EQ(EncodeParamText("用户"), "用户");
  EXPECT_EQ(EncodeParamText(""), "");
  // Names go through the same rule.
  EXPECT_EQ(BuildParam("a b", "c&d"), "a%20b=c%26d&");
  EXPECT_EQ(BuildParam("domain", "a#b"), "domain=a%23b&") << "zone separators survive the trip";
  // Values are bytes of the system code page, escaped above 127 as well so that they pass
  // any conversion of a URL unchanged (UTF-8 here, GBK on a Chinese Windows).
  EXPECT_EQ(EncodeParamBytes("\xD5\xC5 a&"), "%D5%C5%20a%26");
  EXPECT_EQ(BuildParam("user_name", "\xC3\xA9"),
            platform::SystemTextFromUtf8("\xC3\xA9") == std::string("\xE9")
                ? "user_name=%E9&"            // é in code page 1252
                : "user_name=%C3%A9&");       // é in UTF-8 (POSIX)
  if (!platform::FitsSystemCodePage("用")) {  // code page 1252: nothing rather than '?'
    EXPECT_EQ(BuildParam("user_name", "用"), "user_name=&");
  }
  EXPECT_EQ(BuildParam("domain", "a.net,x,y|www,1.2.3.4,z,A"), "domain=a.net,x,y|www,1.2.3.4,z,A&");
}

}  // namespace
}  // namespace quorin::client
