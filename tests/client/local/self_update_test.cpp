// The self-update's portable half: the checks on the server's names, the batch text, and the
// download worker against a scripted HTTP stack and real files in a folder of the test's own.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "client/local/download_file.h"
#include "client/local/download_worker.h"
#include "client/local/folder_path.h"
#include "client/local/update_batch.h"
#include "client/local/update_names.h"
#include "platform/program_folder.h"
#include "platform/system_text.h"
#include "tests/support/temp_path.h"
#include "tests/updater/fake_http_client.h"

namespace quorin::client {
namespace {

using updater::testing::FakeHttpClient;
using updater::testing::FakeReply;

FakeReply Reply(std::string body, int status = 200) {
  FakeReply reply;
  reply.body = std::move(body);
  reply.status = status;
  return reply;
}

TEST(UpdateNames, RefusesEveryKindOfUnsafeName) {
  const std::pair<const char*, UpdateNameProblem> cases[] = {
      {"", UpdateNameProblem::kEmpty},
      {"/etc/x", UpdateNameProblem::kRooted},
      {"\\Windows\\x.dll", UpdateNameProblem::kRooted},
      {"\\\\host\\share\\x", UpdateNameProblem::kRooted},
      {"C:\\x", UpdateNameProblem::kRooted},
      {"C:x", UpdateNameProblem::kRooted},
      {"../../Windows/x.dll", UpdateNameProblem::kDotPart},
      {"a/../../x", UpdateNameProblem::kDotPart},
      {"a\\..\\x", UpdateNameProblem::kDotPart},
      {"./x", UpdateNameProblem::kDotPart},
      {"x.", UpdateNameProblem::kDotPart},  // Windows would write "x"
      {"x ", UpdateNameProblem::kDotPart},
      {"a//b", UpdateNameProblem::kEmptyPart},
      {"a/", UpdateNameProblem::kEmptyPart},
      {"a/ /b", UpdateNameProblem::kEmptyPart},
      {"NUL", UpdateNameProblem::kDeviceName},
      {"com1", UpdateNameProblem::kDeviceName},
      {"sub/LPT9.txt", UpdateNameProblem::kDeviceName},
      {"aux .dll", UpdateNameProblem::kDeviceName},
      {"CONOUT$", UpdateNameProblem::kDeviceName},
  };
  for (const auto& [name, problem] : cases)
    EXPECT_EQ(CheckUpdateFileName(name), problem) << name;
  // Everything that ends a quoted batch argument, runs a command, redirects, expands, or is a
  // wildcard or a stream name.
  for (const char c : std::string_view("\"%!&|<>^*?:\x01\n\r\t\x7f", 17)) {
    const std::string name = std::string("ab") + c + "c.dll";
    EXPECT_EQ(CheckUpdateFileName(name), UpdateNameProblem::kSpecialCharacter) << int(c);
  }
  for (const char* safe : {"QuorinFree.exe", "skin/bitmap11.skn", "skin\\a b.ini", "nul2.txt",
                           "com10", "console.dll", ".hidden", "\xE4\xB8\xAD.txt"}) {
    EXPECT_EQ(CheckUpdateFileName(safe), UpdateNameProblem::kNone) << safe;
  }
}

TEST(UpdateNames, TakesOnlyWebAddresses) {
  for (const char* good : {"http://127.0.0.1/u", "https://files.example.net", "HTTP://x:81/a"})
    EXPECT_TRUE(IsWebAddress(good)) << good;
  for (const char* bad : {"", "ftp://x/u", "file:///C:/x", "C:\\files", "\\\\host\\share",
                          "http://", "http:///x", "http://a b/", "http://x/\r\nHost: y", "x"}) {
    EXPECT_FALSE(IsWebAddress(bad)) << bad;
  }
}

TEST(UpdateBatch, HoldsExactlyTheLinesOfThreeFiles) {
  const UpdateBatchPaths paths{"C:\\Program Files\\Quorin",
                               "C:\\Program Files\\Quorin\\QuorinFree.exe", "C:\\Temp\\",
                               "C:\\Temp\\QuorinUpdate.bat"};
  const std::string text =
      UpdateBatchText(paths, {"QuorinFree.exe", "skin/bitmap11.skn", "uires.dll"});
  EXPECT_EQ(text,
            "\"C:\\Program Files\\Quorin\\holdon.exe\" \"C:\\Temp\\QuorinUpdate.bat\"\r\n"
            "copy \"C:\\Temp\\\\QuorinFree.exe\" \"C:\\Program Files\\Quorin\\QuorinFree.exe\"\r\n"
            "del \"C:\\Temp\\\\QuorinFree.exe\"\r\n"
            "copy \"C:\\Temp\\\\skin\\bitmap11.skn\" \"C:\\Program "
            "Files\\Quorin\\skin\\bitmap11.skn\"\r\n"
            "del \"C:\\Temp\\\\skin\\bitmap11.skn\"\r\n"
            "copy \"C:\\Temp\\\\uires.dll\" \"C:\\Program Files\\Quorin\\uires.dll\"\r\n"
            "del \"C:\\Temp\\\\uires.dll\"\r\n"
            "\"C:\\Program Files\\Quorin\\QuorinFree.exe\" \"C:\\Temp\\QuorinUpdate.bat\"\r\n");

  const auto folder = testing::UniqueTempPath("update_batch");
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "QuorinUpdate.bat").string();
  ASSERT_TRUE(WriteUpdateBatch(path, text));
  {
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
  }
  EXPECT_FALSE(WriteUpdateBatch((folder / "missing" / "x.bat").string(), text));
  std::filesystem::remove_all(folder);
}

// 张三 in UTF-8 and in GBK (code page 936).
const std::string kZhangSan = "\xE5\xBC\xA0\xE4\xB8\x89";
const std::string kZhangSanGbk = "\xD5\xC5\xC8\xFD";

// A Western OEM code page in small: ASCII as it is, é as 0x82, nothing else.
std::optional<std::string> WesternBatchText(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      bytes += text[i];
    } else if (text.substr(i, 2) == "\xC3\xA9") {
      bytes += '\x82';
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return bytes;
}

TEST(UpdateBatch, IsWrittenInTheBatchCodePageOrRefusedNamingWhatItCannotWrite) {
  UpdateBatchPaths paths{"C:\\Quorin", "C:\\Quorin\\QuorinFree.exe", "C:\\Users\\Jos\xC3\xA9\\",
                         "C:\\Users\\Jos\xC3\xA9\\QuorinUpdate.bat"};
  const std::vector<std::string> names = {"QuorinFree.exe", "skin/a.ini"};
  EncodedUpdateBatch batch = EncodeUpdateBatch(paths, names, WesternBatchText);
  EXPECT_EQ(batch.unwritable, "");
  EXPECT_EQ(batch.bytes, *WesternBatchText(UpdateBatchText(paths, names)));
  EXPECT_NE(batch.bytes.find("copy \"C:\\Users\\Jos\x82\\\\QuorinFree.exe\""), std::string::npos)
      << "each path in the code page's bytes, not in UTF-8";

  // What the code page cannot write is named, folders before names: nothing is written.
  paths.temporaryDirectory = "C:\\Users\\" + kZhangSan + "\\";
  batch = EncodeUpdateBatch(paths, names, WesternBatchText);
  EXPECT_EQ(batch.unwritable, paths.temporaryDirectory);
  EXPECT_EQ(batch.bytes, "");
  paths.temporaryDirectory = "C:\\Temp\\";
  paths.batchPath = "C:\\Temp\\QuorinUpdate.bat";
  batch = EncodeUpdateBatch(paths, {"a.ini", kZhangSan + ".txt"}, WesternBatchText);
  EXPECT_EQ(batch.unwritable, kZhangSan + ".txt");
  paths.programDirectory = "C:\\" + kZhangSan;
  EXPECT_EQ(EncodeUpdateBatch(paths, names, WesternBatchText).unwritable, paths.programDirectory);

  // Without an encoder of its own the batch takes the system's: on POSIX UTF-8 as it is.
#ifndef _WIN32
  batch = EncodeUpdateBatch(paths, names);
  EXPECT_EQ(batch.unwritable, "");
  EXPECT_EQ(batch.bytes, UpdateBatchText(paths, names));
#endif
}

TEST(UpdateBatchCodePage936, IsWrittenInGbkAndRefusesWhatGbkCannotWrite) {
  if (platform::OemTextFromUtf8(kZhangSan) != kZhangSanGbk)
    GTEST_SKIP() << "the OEM code page is not 936";
  UpdateBatchPaths paths{"C:\\Quorin", "C:\\Quorin\\QuorinFree.exe",
                         "C:\\Users\\" + kZhangSan + "\\Temp\\",
                         "C:\\Users\\" + kZhangSan + "\\Temp\\QuorinUpdate.bat"};
  EncodedUpdateBatch batch = EncodeUpdateBatch(paths, {"a.ini"});
  EXPECT_EQ(batch.unwritable, "");
  EXPECT_EQ(batch.bytes, "\"C:\\Quorin\\holdon.exe\" \"C:\\Users\\" + kZhangSanGbk +
                             "\\Temp\\QuorinUpdate.bat\"\r\n"
                             "copy \"C:\\Users\\" +
                             kZhangSanGbk +
                             "\\Temp\\\\a.ini\" \"C:\\Quorin\\a.ini\"\r\n"
                             "del \"C:\\Users\\" +
                             kZhangSanGbk +
                             "\\Temp\\\\a.ini\"\r\n"
                             "\"C:\\Quorin\\QuorinFree.exe\" \"C:\\Users\\" +
                             kZhangSanGbk + "\\Temp\\QuorinUpdate.bat\"\r\n");
  // Hangul has no form in code page 936 (a best fit would have written '?').
  const std::string hangul = "\xED\x95\x9C.txt";
  EXPECT_EQ(EncodeUpdateBatch(paths, {"a.ini", hangul}).unwritable, hangul);
}

class DownloadWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::UniqueTempPath("self_update");
    std::filesystem::create_directories(folder_);
    setup_.http = &http_;
    setup_.paths.temporaryDirectory = folder_.string();
    setup_.separator = platform::PathSeparator();
    setup_.requestFailedText = "cannot reach the server";
    setup_.noFilesText = "no new version";
    setup_.wrongSizeText = "wrong size";
    setup_.unsafeOfferText = "refused:";
    setup_.fetchOffer = [this](UpdateOffer& offer, std::string& message, platform::StopToken) {
      offer = offer_;
      message = fetchMessage_;
      return fetchMessage_.empty();
    };
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  UpdateJob::Snapshot Run() {
    DownloadWorker(job_, setup_, {});
    return job_->Read();
  }
  std::string Downloaded(const std::string& relative) const {
    std::ifstream in(folder_ / relative, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
  }
  std::size_t FilesInFolder() const {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::recursive_directory_iterator(folder_), {}));
  }

  std::filesystem::path folder_;
  FakeHttpClient http_;
  DownloadSetup setup_;
  UpdateOffer offer_{"ver4.3.0", "http://127.0.0.1/u", {}};
  std::string fetchMessage_;
  std::shared_ptr<UpdateJob> job_ = std::make_shared<UpdateJob>();
};

TEST_F(DownloadWorkerTest, FetchesEveryFileInBlocksIntoItsFolder) {
  const std::string program(1300, 'p');
  offer_.files = {{"QuorinFree.exe", 1300}, {"skin/bitmap11.skn", 3}};
  http_.Add(Reply(program));
  http_.Add(Reply("skn"));
  const UpdateJob::Snapshot state = Run();
  EXPECT_EQ(state.message, "");
  EXPECT_TRUE(state.done);
  EXPECT_EQ(state.count, 2);
  EXPECT_EQ(state.bytesDone, 1303);
  EXPECT_EQ(ProgressPercent(state.bytesDone, state.totalBytes), 100);
  ASSERT_EQ(http_.requests.size(), 2u);
  EXPECT_EQ(http_.requests[0].url, "http://127.0.0.1/u/QuorinFree.exe");
  EXPECT_EQ(http_.requests[1].url, "http://127.0.0.1/u/skin/bitmap11.skn");
  EXPECT_NE(http_.requests[0].extraHeaders.find("no-cache"), std::string::npos);
  EXPECT_EQ(Downloaded("QuorinFree.exe"), program);
  EXPECT_EQ(Downloaded("skin/bitmap11.skn"), "skn");  // the folder was made first
  for (const std::size_t size : http_.readSizes)
    EXPECT_LE(size, kDownloadBlockSize);
  EXPECT_EQ(job_->Offer().version, "ver4.3.0");
}

TEST_F(DownloadWorkerTest, SizesAddingUpToNothingStillFetchEveryFile) {
  offer_.files = {{"a.ini", 0}, {"sub/b.ini", 0}};
  http_.Add(Reply(""));
  http_.Add(Reply(""));
  const UpdateJob::Snapshot state = Run();
  EXPECT_EQ(state.message, "");
  EXPECT_EQ(ProgressPercent(0, state.totalBytes), 100);  // shown whole at once
  EXPECT_EQ(http_.requests.size(), 2u);
  EXPECT_EQ(Downloaded("sub/b.ini"), "");
  EXPECT_EQ(ProgressPercent(250, 1000), 25);
  EXPECT_EQ(ProgressPercent(5000, 1000), 100);  // a server that sends more than it listed
}

TEST_F(DownloadWorkerTest, ReportsEachFailureWithItsText) {
  // A length other than the listed one, a transfer broken off before its end, an error
  // status, a server that does not answer, no files, a failed request.
  offer_.files = {{"a.exe", 10}};
  http_.Add(Reply("short"));
  EXPECT_EQ(Run().message, "wrong size");

  job_ = std::make_shared<UpdateJob>();
  FakeReply broken = Reply(std::string(10, 'x'));
  broken.failAt = 6;
  http_.Add(broken);
  EXPECT_EQ(Run().message, "wrong size");

  job_ = std::make_shared<UpdateJob>();
  http_.Add(Reply("Not Found", 404));
  EXPECT_NE(Run().message.find("status 404"), std::string::npos);

  job_ = std::make_shared<UpdateJob>();
  FakeReply silent;
  silent.answered = false;
  http_.Add(silent);
  EXPECT_NE(Run().message.find("did not answer"), std::string::npos);

  job_ = std::make_shared<UpdateJob>();
  offer_.files.clear();
  EXPECT_EQ(Run().message, "no new version");

  job_ = std::make_shared<UpdateJob>();
  fetchMessage_ = "The server is busy.";
  const UpdateJob::Snapshot state = Run();
  EXPECT_EQ(state.message, "The server is busy.");
  EXPECT_EQ(state.count, -1);
}

TEST_F(DownloadWorkerTest, RefusesAWholeOfferForOneUnsafeNameOrAddress) {
  for (const char* bad : {"../../Windows/x.dll", "C:\\x", "\\\\host\\share\\x", "NUL", "a&calc.exe",
                          "a\"b", "sub//x"}) {
    job_ = std::make_shared<UpdateJob>();
    offer_.files = {{"QuorinFree.exe", 1}, {bad, 1}};
    const UpdateJob::Snapshot state = Run();
    EXPECT_EQ(state.message.rfind("refused:", 0), 0u) << bad;
    EXPECT_EQ(state.count, -1) << bad;  // the UI never sees the files
  }
  job_ = std::make_shared<UpdateJob>();
  offer_ = {"ver5", "file:///C:/Windows", {{"x.dll", 1}}};
  EXPECT_EQ(Run().message, "refused: \"file:///C:/Windows\"");
  job_ = std::make_shared<UpdateJob>();
  offer_ = {"ver5", "http://x/u", {{"a\nb", 1}}};
  EXPECT_EQ(Run().message, "refused: \"a?b\"");
  // A name or a folder that the batch could not write: the batch would copy nothing.
  setup_.batchEncoder = WesternBatchText;
  job_ = std::make_shared<UpdateJob>();
  offer_ = {"ver5", "http://x/u", {{"a.ini", 1}, {kZhangSan + ".dll", 1}}};
  EXPECT_EQ(Run().message, "refused: \"" + kZhangSan + ".dll\"");
  job_ = std::make_shared<UpdateJob>();
  setup_.paths.programDirectory = "C:\\" + kZhangSan;
  offer_ = {"ver5", "http://x/u", {{"a.ini", 1}}};
  EXPECT_EQ(Run().message, "refused: \"C:\\" + kZhangSan + "\"");
  EXPECT_EQ(job_->Read().count, -1);
  EXPECT_TRUE(http_.requests.empty());
  EXPECT_EQ(FilesInFolder(), 0u);
}

TEST_F(DownloadWorkerTest, AGivenUpJobIsNeverWrittenAgain) {
  // The second file stops in its second read until the test has given the job up; the worker
  // then reads on, but may neither write the file nor touch the job.
  offer_.files = {{"a.exe", 4}, {"b.exe", 2048}};
  std::mutex mutex;
  std::condition_variable changed;
  bool inSecondFile = false;
  bool givenUp = false;
  int reads = 0;
  http_.Add(Reply("aaaa"));
  FakeReply second = Reply(std::string(2048, 'b'));
  second.onRead = [&] {
    std::unique_lock lock(mutex);
    if (++reads != 2)
      return;
    inSecondFile = true;
    changed.notify_all();
    changed.wait(lock, [&] { return givenUp; });
  };
  http_.Add(second);
  std::thread worker([this] { DownloadWorker(job_, setup_, {}); });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return inSecondFile; });
  }
  const UpdateJob::Snapshot before = job_->Read();
  EXPECT_EQ(before.bytesDone, 4 + 512);
  EXPECT_TRUE(job_->GiveUp("cancelled"));
  {
    const std::lock_guard lock(mutex);
    givenUp = true;
  }
  changed.notify_all();
  worker.join();
  const UpdateJob::Snapshot after = job_->Read();
  EXPECT_EQ(after.message, "cancelled");
  EXPECT_EQ(after.bytesDone, before.bytesDone);
  EXPECT_EQ(Downloaded("b.exe"), std::string(512, 'b'));
  EXPECT_FALSE(job_->Finish({}));  // a finished worker cannot overwrite the outcome either
  EXPECT_FALSE(job_->GiveUp("again"));
}

TEST(FolderPath, MakesEveryMissingLevel) {
  const auto folder = testing::UniqueTempPath("folder_path");
  const std::string separator(1, platform::PathSeparator());
  const std::string deep = folder.string() + separator + "a" + separator + "b" + separator;
  EXPECT_FALSE(DirectoryExists(folder.string()));
  EXPECT_TRUE(CreateDirectoryPath(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(CreateDirectoryPath(deep));  // already there
  EXPECT_EQ(ParentFolder(deep + "x.dll"), deep.substr(0, deep.size() - 1));
  std::ofstream(deep + "file") << "x";
  EXPECT_FALSE(DirectoryExists(deep + "file"));
  EXPECT_FALSE(CreateDirectoryPath(deep + "file" + separator + "c"));
  EXPECT_FALSE(CreateDirectoryPath(""));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quorin::client
