// The download against a real HTTP server with range support (nginx), through the system's
// HTTP stack: libcurl natively, WinINet under Wine.
#include <gtest/gtest.h>

#include "../temp_folder.h"
#include "common/md5.h"
#include "platform/http_client.h"
#include "server_environment.h"
#include "updater/download.h"
#include "updater/md5_check.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;

class NginxDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseUrl_ = testing::FixtureVariable("QUORIN_NGINX_URL");
    root_ = testing::FixtureVariable("QUORIN_NGINX_ROOT");
    if (baseUrl_.empty() || root_.empty())
      GTEST_SKIP() << "QUORIN_NGINX_URL is not set";
  }
  std::string Served(const std::string& name) {
    return ReadWholeFile(PathFromUtf8(root_) / "files" / name);
  }
  std::string Download(const std::string& path) {
    return GetNewVersionFromNetwork(platform::SystemHttpClient(), baseUrl_ + path, staged_,
                                    "Brenwick");
  }
  std::string Staged() { return ReadWholeFile(PathFromUtf8(staged_)); }

  std::string baseUrl_;
  std::string root_;
  testing::TempFolder folder_;
  std::string staged_ = folder_.File("app.bin");
};

TEST_F(NginxDownloadTest, FetchesAFreshFileWhole) {
  EXPECT_EQ(Download("/files/app.bin"), kDownloadSucceeded);
  const std::string served = Served("app.bin");
  ASSERT_EQ(served.size(), 300000u);
  EXPECT_EQ(Staged(), served);
  EXPECT_TRUE(CheckMD5(staged_, Md5Text(served)));

  for (const char* name : {"exact2048.bin", "short2000.bin", "empty.bin"}) {
    staged_ = folder_.File(name);
    EXPECT_EQ(Download(std::string("/files/") + name), kDownloadSucceeded) << name;
    EXPECT_EQ(Staged(), Served(name)) << name;
  }
}

TEST_F(NginxDownloadTest, ResumesAPartialFile) {
  const std::string served = Served("app.bin");
  // Bytes the server never sent: if they survive, the request carried the range.
  WriteWholeFile(PathFromUtf8(staged_), std::string(1000, 'X'));
  EXPECT_EQ(Download("/files/app.bin"), kDownloadSucceeded);
  EXPECT_EQ(Staged(), std::string(1000, 'X') + served.substr(1000));
}

TEST_F(NginxDownloadTest, AcceptsA416ForACompleteFile) {
  const std::string served = Served("app.bin");
  WriteWholeFile(PathFromUtf8(staged_), served);
  EXPECT_EQ(Download("/files/app.bin"), kDownloadSucceeded);
  EXPECT_EQ(Staged(), served) << "nothing appended";
  EXPECT_TRUE(CheckMD5(staged_, Md5Text(served)));
}

TEST_F(NginxDownloadTest, RewritesTheFileWhenTheServerIgnoresTheRange) {
  const std::string served = Served("app.bin");
  WriteWholeFile(PathFromUtf8(staged_), std::string(1000, 'X'));
  EXPECT_EQ(Download("/norange/app.bin"), kDownloadSucceeded);
  EXPECT_EQ(Staged(), served) << "one copy from byte 0";
}

TEST_F(NginxDownloadTest, ReportsAMissingFileAsAFailure) {
  WriteWholeFile(PathFromUtf8(staged_), "partial");
  EXPECT_EQ(Download("/files/absent.bin"), kDownloadFailed);
  EXPECT_EQ(Staged(), "partial") << "the 404 page is not written";
  EXPECT_FALSE(CheckMD5(staged_, Md5Text(Served("app.bin"))));
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(staged_))) << "a wrong file is deleted";
}

TEST_F(NginxDownloadTest, RequestsNothingForAnFtpUrl) {
  const std::string host = baseUrl_.substr(baseUrl_.find("://") + 3);
  EXPECT_EQ(GetNewVersionFromNetwork(platform::SystemHttpClient(),
                                     "ftp://" + host + "/files/app.bin", staged_, "Brenwick"),
            kNotHttpDownload);
  EXPECT_EQ(Staged(), "") << "the staged file was opened, and nothing came";
}

TEST_F(NginxDownloadTest, FailsWhenNothingListens) {
  // The same address, a port nobody serves: the connection is refused.
  const std::string url = baseUrl_.substr(0, baseUrl_.rfind(':')) + ":9/files/app.bin";
  EXPECT_EQ(GetNewVersionFromNetwork(platform::SystemHttpClient(), url, staged_, "Brenwick"),
            kDownloadFailed);
}

}  // namespace
}  // namespace quorin::updater
