#include "common/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace quorin {
namespace {

// The test suite of RFC 1321, appendix A.5.
TEST(Md5, MatchesTheRfc1321TestSuite) {
  EXPECT_EQ(Md5Text(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Text("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Text("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Text("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Text("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Text("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Text("1234567890123456789012345678901234567890123456789012345678901234567890123456"
                    "7890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, GivesTheSameDigestWhateverTheChunking) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7 + 3);
  const std::string whole = Md5Text(data);
  // Chunk sizes around the 64-byte block and the 56-byte padding boundary.
  for (std::size_t chunk : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 127u, 999u}) {
    Md5 md5;
    for (std::size_t at = 0; at < data.size(); at += chunk) {
      md5.Update(std::string_view(data).substr(at, chunk));
    }
    EXPECT_EQ(DigestText(md5.Finish()), whole) << "chunk " << chunk;
  }
}

TEST(Md5, HandlesMessagesAroundThePaddingBoundary) {
  // Lengths 55, 56 and 64 need one or two padding blocks; compare with known digests.
  EXPECT_EQ(Md5Text(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Text(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Text(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

}  // namespace
}  // namespace quorin
