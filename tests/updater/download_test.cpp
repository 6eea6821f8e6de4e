#include "updater/download.h"

#include <gtest/gtest.h>

#include "fake_http_client.h"
#include "temp_folder.h"
#include "updater/staging.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

using testing::FakeHttpClient;
using testing::FakeReply;
using testing::PatternBytes;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

constexpr std::string_view kBaseHeaders =
    "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

class DownloadTest : public ::testing::Test {
 protected:
  std::string Download(const std::string& url = "http://files.example/app/q.exe") {
    return GetNewVersionFromNetwork(http_, url, staged_, "Brenwick");
  }
  std::string Staged() const { return ReadWholeFile(PathFromUtf8(staged_)); }

  testing::TempFolder folder_;
  std::string staged_ = folder_.File("q.exe");
  FakeHttpClient http_;
};

TEST(DownloadHeaders, AddTheResumeLinesOnlyForAPartialFile) {
  EXPECT_EQ(DownloadHeaders(0), kBaseHeaders);
  EXPECT_EQ(DownloadHeaders(1000),
            std::string(kBaseHeaders) + "Connection:Keep-Alive\r\nRange: bytes=1000-\r\n");
  EXPECT_EQ(
      DownloadHeaders(5000000000ull).find("Range: bytes=5000000000-\r\n") != std::string::npos,
      true)
      << "sizes beyond 4 GiB";
}

TEST_F(DownloadTest, FetchesAFreshFileInBlocksOf1024Bytes) {
  const std::string body = PatternBytes(2000);
  http_.Add({.status = 200, .body = body, .contentLength = 2000});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(Staged(), body);
  ASSERT_EQ(http_.requests.size(), 1u);
  EXPECT_EQ(http_.requests[0].url, "http://files.example/app/q.exe");
  EXPECT_EQ(http_.requests[0].extraHeaders, kBaseHeaders) << "no range for a fresh file";
  EXPECT_EQ(http_.requests[0].userAgent, "Brenwick");
  EXPECT_EQ(http_.readSizes, (std::vector<std::size_t>{1024, 976}))
      << "the second read asks only for what the announced length leaves";

  // Without an announced length the body runs until the server ends it.
  const std::string exact = PatternBytes(2048, 7);
  std::filesystem::remove(PathFromUtf8(staged_));
  http_.readSizes.clear();
  http_.Add({.status = 200, .body = exact, .chunk = 1024});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(Staged(), exact);
  EXPECT_EQ(http_.readSizes, (std::vector<std::size_t>{1024, 1024, 1024}))
      << "a body of exactly 2048 bytes ends with a read of 0 bytes";
}

TEST_F(DownloadTest, ResumesAPartialFileFromItsLength) {
  const std::string whole = PatternBytes(5000);
  WriteWholeFile(PathFromUtf8(staged_), whole.substr(0, 1000));
  http_.Add({.status = 206, .body = whole.substr(1000), .contentLength = 4000, .chunk = 700});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(http_.requests[0].extraHeaders,
            std::string(kBaseHeaders) + "Connection:Keep-Alive\r\nRange: bytes=1000-\r\n");
  EXPECT_EQ(Staged(), whole) << "the received bytes follow the first 1000";
}

TEST_F(DownloadTest, StartsAfreshWhenTheServerIgnoresTheRange) {
  const std::string whole = PatternBytes(3000);
  WriteWholeFile(PathFromUtf8(staged_), std::string(1000, 'x'));
  http_.Add({.status = 200, .body = whole, .contentLength = 3000});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(Staged(), whole) << "one copy from byte 0, not the old bytes and a second copy";
}

TEST_F(DownloadTest, ReportsAFailureForStatusesOtherThan2xx) {
  WriteWholeFile(PathFromUtf8(staged_), "partial");
  http_.Add({.status = 404, .body = "<html>not found</html>"});
  EXPECT_EQ(Download(), kDownloadFailed) << "a 404 is no success";
  EXPECT_EQ(Staged(), "partial") << "nothing of the error page is written";

  std::filesystem::remove(PathFromUtf8(staged_));
  http_.Add({.status = 416, .body = "range"});
  EXPECT_EQ(Download(), kDownloadFailed) << "416 to a request without a range";
  EXPECT_EQ(Staged(), "") << "the file was opened, so it exists, empty";

  http_.Add({.status = 302});
  EXPECT_EQ(Download(), kDownloadFailed);
}

TEST_F(DownloadTest, LetsTheChecksumJudgeAFileTheServerCallsComplete) {
  WriteWholeFile(PathFromUtf8(staged_), "complete file");
  http_.Add({.status = 416, .body = "<html>416</html>"});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(Staged(), "complete file") << "nothing written";
}

TEST_F(DownloadTest, StopsAtTheAnnouncedLength) {
  http_.Add({.status = 200, .body = "0123456789EXTRA", .contentLength = 10});
  EXPECT_EQ(Download(), kDownloadSucceeded);
  EXPECT_EQ(Staged(), "0123456789");
}

TEST_F(DownloadTest, KeepsWhatArrivedWhenTheTransferBreaks) {
  const std::string whole = PatternBytes(4096);
  http_.Add({.status = 200, .body = whole, .contentLength = 4096, .failAt = 2500});
  EXPECT_EQ(Download(), kDownloadFailed);
  EXPECT_EQ(Staged(), whole.substr(0, 2500)) << "the next run resumes from here";
  http_.Add({.answered = false});
  EXPECT_EQ(Download(), kDownloadFailed) << "no answer at all";
  EXPECT_EQ(http_.requests.back().extraHeaders.find("Range: bytes=2500-") != std::string::npos,
            true);
}

TEST_F(DownloadTest, RequestsNothingForUrlsThatAreNotHttp) {
  EXPECT_EQ(Download("ftp://files.example/q.exe"), kNotHttpDownload);
  EXPECT_EQ(Download("HTTPS://files.example:8443/q.exe"), kDownloadFailed)
      << "https is requested (and here has no answer)";
  EXPECT_EQ(http_.requests.size(), 1u);
  EXPECT_EQ(Download("files.example/q.exe"), kDownloadFailed) << "no scheme";
  EXPECT_EQ(Download("http:///q.exe"), kDownloadFailed) << "no host";
  EXPECT_EQ(Download("http://host:99999/q.exe"), kDownloadFailed) << "port out of range";
  EXPECT_EQ(http_.requests.size(), 1u);
}

TEST_F(DownloadTest, FailsWhenTheStagedFileCannotBeOpened) {
  std::filesystem::create_directory(PathFromUtf8(staged_));
  http_.Add({.status = 200, .body = "x"});
  EXPECT_EQ(Download(), kDownloadFailed) << "a folder stands where the file should be";
  EXPECT_TRUE(http_.requests.empty());
}

TEST(SplitUrl, SplitsSchemeHostPortAndObject) {
  auto parts = SplitUrl("http://files.example:8045/a/b.exe?x=1");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->scheme, "http");
  EXPECT_EQ(parts->host, "files.example");
  EXPECT_EQ(parts->port, 8045);
  EXPECT_EQ(parts->object, "/a/b.exe?x=1");
  parts = SplitUrl("ftp://h");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->port, 0);
  EXPECT_EQ(parts->object, "/");
  EXPECT_FALSE(SplitUrl("://h/x"));
  EXPECT_FALSE(SplitUrl("ht tp://h/x"));
  EXPECT_FALSE(SplitUrl("http://h:/x"));
  EXPECT_FALSE(SplitUrl("http://h:0/x"));
  EXPECT_FALSE(SplitUrl("http://h:8a/x"));
}

TEST(StagedFileName, TakesTheTextAfterTheLastSlashOnlyWhenItIsSafe) {
  EXPECT_EQ(StagedFileName("http://h/files/QuorinSetup.exe"), "QuorinSetup.exe");
  // The name follows the last '/', even one inside a query; only a query or fragment without
  // a '/' is left after it and removed.
  EXPECT_EQ(StagedFileName("http://h/get.php?file=a/b.exe"), "b.exe");
  EXPECT_EQ(StagedFileName("http://h/get/q.exe?token=a/b#frag"), "b");
  EXPECT_EQ(StagedFileName("http://h/get/q.exe?token=1#part"), "q.exe");
  EXPECT_EQ(StagedFileName("http://h/get/q.exe#a?b"), "q.exe");
  EXPECT_FALSE(StagedFileName("http://h/dir/?file=x")) << "nothing before the query";
  EXPECT_EQ(StagedFileName("http://h/files/%E5%8D%87.exe"), "%E5%8D%87.exe");
  EXPECT_FALSE(StagedFileName("http://h/files/")) << "empty";
  EXPECT_FALSE(StagedFileName("http://h/files/.."));
  EXPECT_FALSE(StagedFileName("http://h/files/."));
  EXPECT_FALSE(StagedFileName("http://h/files/..\\..\\evil.exe")) << "a backslash";
  EXPECT_FALSE(StagedFileName("http://h/C:evil.exe")) << "a drive or stream colon";
  EXPECT_FALSE(StagedFileName("http://h/a\tb.exe")) << "a control character";
  EXPECT_FALSE(StagedFileName("http://h/NUL")) << "a device name";
  EXPECT_FALSE(StagedFileName("http://h/com1.exe")) << "a device name with an extension";
  EXPECT_FALSE(StagedFileName("http://h/Lpt9"));
  EXPECT_EQ(StagedFileName("http://h/com10.exe"), "com10.exe");
  EXPECT_EQ(StagedFileName("http://h/console.exe"), "console.exe");
  EXPECT_FALSE(StagedFileName("no-slash-at-all"));

  // The superscript ports, in the UTF-8 the name is held in.
  EXPECT_FALSE(StagedFileName("http://h/COM\u00b9")) << "COM¹";
  EXPECT_FALSE(StagedFileName("http://h/com\u00b2.exe")) << "COM² with an extension";
  EXPECT_FALSE(StagedFileName("http://h/LPT\u00b3")) << "LPT³";
  EXPECT_FALSE(StagedFileName("http://h/lpt\u00b9 .txt")) << "blanks before the extension";
  EXPECT_EQ(StagedFileName("http://h/COM\u2074.exe"), "COM\u2074.exe") << "no COM⁴ device";
  EXPECT_EQ(StagedFileName("http://h/com\u00b9\u00b9.exe"), "com\u00b9\u00b9.exe");
  // The console's input and output, in any case.
  EXPECT_FALSE(StagedFileName("http://h/CONIN$"));
  EXPECT_FALSE(StagedFileName("http://h/conout$.log"));
  EXPECT_FALSE(StagedFileName("http://h/CoNoUt$"));
  EXPECT_EQ(StagedFileName("http://h/conin.exe"), "conin.exe");
  // Windows drops a last dot or blank: the file written would not be the one recorded.
  EXPECT_FALSE(StagedFileName("http://h/setup.exe.")) << "a last dot";
  EXPECT_FALSE(StagedFileName("http://h/setup.exe ")) << "a last blank";
  EXPECT_FALSE(StagedFileName("http://h/...")) << "dots only";
  EXPECT_FALSE(StagedFileName("http://h/nul.exe. ?x=1")) << "before the query";
  EXPECT_EQ(StagedFileName("http://h/my setup.exe"), "my setup.exe") << "a blank inside is fine";
  // Characters Windows refuses in any name.
  for (const char* name : {"a*.exe", "a\"b.exe", "a<b.exe", "a>b.exe", "a|b.exe"})
    EXPECT_FALSE(StagedFileName(std::string("http://h/") + name)) << name;
  EXPECT_EQ(StagedFilePath("C:\\Q\\InstallFiles", '\\', "q.exe"), "C:\\Q\\InstallFiles\\q.exe");
  EXPECT_EQ(StagingFolderPath("C:\\Q\\"), "C:\\Q\\InstallFiles");
}

TEST(StagingFolder, IsCreatedBesideTheProgramUnlessAFileStandsInTheWay) {
  testing::TempFolder folder;
  const std::string staging = StagingFolderPath(folder.Text());
  PrepareStagingFolder(staging);
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "InstallFiles"));
  PrepareStagingFolder(staging);  // already there: nothing changes
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "InstallFiles"));

  testing::TempFolder blocked;
  WriteWholeFile(blocked.path() / "InstallFiles", "a file");
  PrepareStagingFolder(StagingFolderPath(blocked.Text()));
  EXPECT_TRUE(std::filesystem::is_regular_file(blocked.path() / "InstallFiles"))
      << "silently left as it is";
}

}  // namespace
}  // namespace quorin::updater
