#include "updater/updater_run.h"

#include <gtest/gtest.h>

#include "common/md5.h"
#include "fake_http_client.h"
#include "platform/memory_settings_store.h"
#include "temp_folder.h"

namespace quorin::updater {
namespace {

using platform::RootKey;
using testing::FakeHttpClient;
using testing::FakeReply;
using testing::ReadWholeFile;

constexpr std::string_view kKey = "SOFTWARE\\tilro\\Product";

// A store that notes its writes in the shared journal, so the order of record writes and
// notifications can be checked.
class JournalStore : public platform::MemorySettingsStore {
 public:
  explicit JournalStore(std::vector<std::string>& journal) : journal_(journal) {}
  bool Write(RootKey root, std::string_view keyPath, std::string_view name,
             std::string_view text) override {
    if (recording)
      journal_.push_back("write " + std::string(name));
    return MemorySettingsStore::Write(root, keyPath, name, text);
  }
  bool recording = false;

 private:
  std::vector<std::string>& journal_;
};

class RecordingNotifier : public QueryNotifier {
 public:
  explicit RecordingNotifier(std::vector<std::string>& journal) : journal_(journal) {}
  void StoreQueryDone() override { journal_.push_back("flag"); }
  void Signal() override { journal_.push_back("signal"); }

 private:
  std::vector<std::string>& journal_;
};

class UpdaterRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteWholeFile(folder_.path() / "BRWK_EnableDebug", "");
    Put("ProductName", "QuorinFree");
    Put("vendor", "tilro");
    Put("version", "2.0.0");
    Put("Language", "zh-cn");
  }
  void Put(std::string_view name, std::string_view text, RootKey root = RootKey::LocalMachine) {
    ASSERT_TRUE(store_.Write(root, kKey, name, text));
  }
  RunOutcome Run(std::vector<std::string> words = {"Brenwick.exe", "2147483650",
                                                   std::string(kKey)}) {
    store_.recording = true;
    UpdaterServices services{store_,
                             http_,
                             notifier_,
                             log_,
                             folder_.Text(),
                             "Brenwick",
                             {"update1.example", "update2.example"},
                             [this] {
                               journal_.push_back("os version");
                               return std::string("6.1.7601_1.0");
                             },
                             [this] {
                               journal_.push_back("hardware id");
                               return std::string("d41d8cd98f00b204e9800998ecf8427e");
                             },
                             [this](const std::string& text) { usage_.push_back(text); },
                             limits_};
    return RunUpdater(words, services);
  }
  void OfferReply(const std::string& checksum, const std::string& extra = "") {
    http_.Add({.body = "CurrentVersion=2.1.0\r\nURL=/files/q.exe\r\nCheckSum=" + checksum +
                       "\r\nDescription=Fixes\r\n" + extra});
  }
  std::string Staged() const {
    return folder_.Text() + "InstallFiles" + platform::PathSeparator() + "q.exe";
  }
  std::string LogText() const { return testing::ReadTextFile(folder_.path() / "Brenwick.log"); }
  std::optional<std::string> Recorded(std::string_view name) {
    return store_.Read(RootKey::LocalMachine, kKey, name);
  }

  testing::TempFolder folder_;
  std::vector<std::string> journal_;
  JournalStore store_{journal_};
  FakeHttpClient http_;
  RecordingNotifier notifier_{journal_};
  platform::ManualClock clock_;
  UpdaterLog log_{folder_.File("BRWK_EnableDebug"), folder_.File("Brenwick.log"), clock_};
  std::vector<std::string> usage_;
  DownloadLimits limits_;
  const std::string file_ = testing::PatternBytes(3000);
};

TEST_F(UpdaterRunTest, DownloadsVerifiesAndRecordsANewVersion) {
  OfferReply(Md5Text(file_));
  http_.Add({.status = 200, .body = file_, .contentLength = 3000});
  EXPECT_EQ(Run(), RunOutcome::Done);

  ASSERT_EQ(http_.requests.size(), 2u);
  EXPECT_EQ(http_.requests[0].url,
            "http://update1.example/GetNewVersion.php?ProductName=QuorinFree&vendor=tilro"
            "&CurrVersion=2.0.0&Language=&OSVer=6.1.7601_1.0"
            "&HardwareID=d41d8cd98f00b204e9800998ecf8427e")
      << "no new version recorded yet: Language stays empty";
  EXPECT_EQ(http_.requests[1].url, "http://update1.example/files/q.exe");
  EXPECT_EQ(ReadWholeFile(std::filesystem::path(folder_.path() / "InstallFiles" / "q.exe")), file_);
  EXPECT_EQ(Recorded("NewVersionNumber"), "2.1.0");
  EXPECT_EQ(Recorded("NewVersionFile"), Staged());
  EXPECT_EQ(Recorded("NewVersionDescription"), "Fixes");
  EXPECT_EQ(journal_, (std::vector<std::string>{"os version", "hardware id", "flag", "signal",
                                                "write NewVersionNumber", "write NewVersionFile",
                                                "write NewVersionDescription", "write ForceUpdate",
                                                "write StrictVersion"}))
      << "probes before the key is read; the record only after the verified download";
  EXPECT_NE(LogText().find("File \"" + Staged() + "\" download successfully!\n"),
            std::string::npos);
}

TEST_F(UpdaterRunTest, RecordsAForcedOfferBeforeSignalling) {
  OfferReply(Md5Text(file_), "ForceUpdate=true\r\n");
  http_.Add({.status = 200, .body = file_});
  EXPECT_EQ(Run(), RunOutcome::Done);
  const auto signal = std::find(journal_.begin(), journal_.end(), "signal");
  const auto firstWrite = std::find(journal_.begin(), journal_.end(), "write NewVersionNumber");
  EXPECT_LT(firstWrite, signal) << "a waiter woken by the event finds the record";
  EXPECT_EQ(std::count(journal_.begin(), journal_.end(), "write NewVersionNumber"), 2)
      << "recorded again after the download";
}

TEST_F(UpdaterRunTest, TriesThreeDownloadsAgainstAWrongChecksum) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    OfferReply("00000000000000000000000000000000");
    http_.Add({.status = 200, .body = file_});
  }
  EXPECT_EQ(Run(), RunOutcome::ChecksumFailed);
  EXPECT_EQ(http_.requests.size(), 6u) << "the query is repeated with every attempt";
  EXPECT_EQ(std::count(journal_.begin(), journal_.end(), "signal"), 3);
  EXPECT_EQ(std::count(journal_.begin(), journal_.end(), "flag"), 3);
  EXPECT_FALSE(Recorded("NewVersionNumber"));
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "InstallFiles" / "q.exe"));
  const std::string log = LogText();
  std::size_t failures = 0;
  for (std::size_t at =
           log.find("CheckMD5 failed for: \"" + Staged() + "\", try to download again!\n");
       at != std::string::npos; at = log.find("CheckMD5 failed", at + 1)) {
    ++failures;
  }
  EXPECT_EQ(failures, 3u);
  EXPECT_NE(log.find("The file is downloaded for 3 times, and the checksum is still wrong, "
                     "please check network!\n"),
            std::string::npos);
}

TEST_F(UpdaterRunTest, EndsQuietlyWithoutAProductOrAnHttpUrl) {
  EXPECT_EQ(Run({"Brenwick.exe", "2147483650"}), RunOutcome::Usage);
  ASSERT_EQ(usage_.size(), 1u);
  EXPECT_EQ(usage_[0], "Usage:\n\tBrenwick.exe <Registry key> <Registry path>");
  EXPECT_EQ(Run({"Brenwick.exe", "2147483649", std::string(kKey)}), RunOutcome::NoProduct)
      << "no such key under HKEY_CURRENT_USER";
  EXPECT_EQ(Run({"Brenwick.exe", "1", std::string(kKey)}), RunOutcome::NoProduct);
  Put("AutoUpdateURL", "https://secure.example/v.php");
  EXPECT_EQ(Run(), RunOutcome::NotHttp);
  EXPECT_TRUE(http_.requests.empty());
  EXPECT_EQ(std::count(journal_.begin(), journal_.end(), "signal"), 0)
      << "none of these runs stores the flag or signals";
  EXPECT_EQ(std::count(journal_.begin(), journal_.end(), "flag"), 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Brenwick.log"));
}

TEST_F(UpdaterRunTest, SendsTheAutoUpdateUrlAsStoredAndRepeatsItOnce) {
  Put("AutoUpdateURL", "HTTP://own.example/check?p=1");
  http_.Add({.body = "Description=nothing for you\n"});
  http_.Add({.body = ""});
  EXPECT_EQ(Run(), RunOutcome::NoOffer);
  ASSERT_EQ(http_.requests.size(), 2u);
  EXPECT_EQ(http_.requests[0].url, "HTTP://own.example/check?p=1") << "no parameters added";
  EXPECT_EQ(http_.requests[1].url, "HTTP://own.example/check?p=1") << "the secondary is the same";
  EXPECT_EQ(journal_, (std::vector<std::string>{"os version", "hardware id", "flag", "signal"}));
}

TEST_F(UpdaterRunTest, SignalsButDownloadsNothingWhenTheOfferIsNotWanted) {
  http_.Add({.body = "CurrentVersion=2.0.0\nURL=/files/q.exe\n"});
  EXPECT_EQ(Run(), RunOutcome::NotNeeded);
  EXPECT_EQ(http_.requests.size(), 1u);
  EXPECT_EQ(journal_.back(), "signal");
  EXPECT_TRUE(std::filesystem::is_directory(folder_.path() / "InstallFiles"))
      << "the staging folder exists once an offer came";
}

TEST_F(UpdaterRunTest, LogsAFailedDownloadAndEnds) {
  OfferReply(Md5Text(file_));
  http_.Add({.status = 404, .body = "not found"});
  EXPECT_EQ(Run(), RunOutcome::DownloadFailed);
  EXPECT_NE(LogText().find("GetNewVersionFromNetwork failed:下载失败\n"), std::string::npos);
  EXPECT_FALSE(Recorded("NewVersionNumber"));

  // An ftp URL in the offer is not absolute: it lands after the query script's folder.
  http_.Add({.body = "CurrentVersion=2.1.0\nURL=ftp://files.example/q.exe\n"});
  EXPECT_EQ(Run(), RunOutcome::DownloadFailed);
  EXPECT_EQ(http_.requests.back().url, "http://update1.example/ftp://files.example/q.exe");

  // A body beyond the size limit ends the run as a failed download, and no file is left.
  limits_.maxFileBytes = 2999;
  OfferReply(Md5Text(file_));
  http_.Add({.status = 200, .body = file_});
  EXPECT_EQ(Run(), RunOutcome::DownloadFailed);
  EXPECT_EQ(http_.RemainingReplies(), 0u) << "the download was requested";
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "InstallFiles" / "q.exe"));
  EXPECT_FALSE(Recorded("NewVersionNumber"));
}

TEST_F(UpdaterRunTest, NeverWritesOrRecordsAnUnsafeFileName) {
  http_.Add({.body = "CurrentVersion=2.1.0\nURL=/files/..\\..\\Brenwick.exe\nForceUpdate=true\n"});
  EXPECT_EQ(Run(), RunOutcome::DownloadFailed);
  EXPECT_EQ(http_.requests.size(), 1u) << "nothing downloaded";
  EXPECT_FALSE(Recorded("NewVersionFile")) << "nothing recorded";
  EXPECT_EQ(journal_.back(), "signal") << "the waiter still learns that the query ended";
  EXPECT_NE(LogText().find("GetNewVersionFromNetwork failed:下载失败\n"), std::string::npos);
}

TEST_F(UpdaterRunTest, EndsWhenTheRecordCannotBeWritten) {
  // The product key exists under HKEY_CURRENT_USER only; the record goes to HKLM.
  constexpr std::string_view kUserKey = "SOFTWARE\\tilro\\UserProduct";
  ASSERT_TRUE(store_.Write(RootKey::CurrentUser, kUserKey, "ProductName", "UserProduct"));
  const std::vector<std::string> words = {"Brenwick.exe", "2147483649", std::string(kUserKey)};
  OfferReply(Md5Text(file_), "ForceUpdate=true\n");
  EXPECT_EQ(Run(words), RunOutcome::ForcedRecordFailed);
  EXPECT_NE(LogText().find("WriteInfoToRegistry failed!\n"), std::string::npos);
  EXPECT_EQ(journal_.back(), "signal") << "logged first, then signalled";

  OfferReply(Md5Text(file_));
  http_.Add({.status = 200, .body = file_});
  EXPECT_EQ(Run(words), RunOutcome::FinalRecordFailed) << "downloaded and verified all the same";
  EXPECT_FALSE(store_.KeyExists(RootKey::LocalMachine, kUserKey)) << "the key is never created";
}

TEST_F(UpdaterRunTest, EndsAtOnceWhenTheLogCannotBeOpened) {
  std::filesystem::create_directory(folder_.path() / "Brenwick.log");
  OfferReply(Md5Text(file_));
  http_.Add({.status = 500});
  EXPECT_EQ(Run(), RunOutcome::LogUnavailable);
}

}  // namespace
}  // namespace quorin::updater
