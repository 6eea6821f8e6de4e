#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/html_dialog.h"
#include "platform/process_runner.h"
#include "platform/service_control.h"
#include "platform/shell_folders.h"
#include "platform/termination.h"
#include "tests/support/wait_until.h"

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorin-ties-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

bool WaitForFile(const fs::path& path) {
  return quorin::testing::WaitUntil([&] { return fs::exists(path); });
}

TEST(RunCommandTest, WaitingGivesTheExitCode) {
  EXPECT_EQ(RunCommand("sh -c \"exit 3\"", true), 3);
  EXPECT_EQ(RunCommand("true", true), 0);
  EXPECT_EQ(RunCommand("sh -c \"kill -9 $$\"", true), 128 + 9);  // a killed program
}

TEST(RunCommandTest, NotWaitingReturnsZeroAtOnceWhateverTheProgramDoesLater) {
  TempFolder folder;
  const fs::path go = folder.path() / "go";
  const fs::path marker = folder.path() / "ran";
  // The program goes on only once the test lets it (or gives up after half a minute), so a
  // call that waited for it would return its exit code 7 late instead of 0 at once.
  const std::string script = "for i in $(seq 600); do [ -e '" + go.string() +
                             "' ] && break; sleep 0.05; done; touch '" + marker.string() +
                             "'; exit 7";
  EXPECT_EQ(RunCommand("sh -c \"" + script + "\"", false), 0);
  EXPECT_FALSE(fs::exists(marker));
  std::ofstream(go.string()).put('1');
  EXPECT_TRUE(WaitForFile(marker));  // it did run, detached
}

TEST(RunCommandTest, NothingToStartIsAFailure) {
  EXPECT_EQ(RunCommand("", true), kRunFailed);
  EXPECT_EQ(RunCommand("   ", false), kRunFailed);
  EXPECT_EQ(RunCommand("/no/such/program --flag", true), kRunFailed);
  EXPECT_EQ(RunCommand("no-such-program-of-quorin", false), kRunFailed);
}

TEST(RunCommandTest, QuotesKeepBlanksInOneWordAndNoShellReadsTheLine) {
  TempFolder folder;
  const fs::path spaced = folder.path() / "a b";
  EXPECT_EQ(RunCommand("touch \"" + spaced.string() + "\"", true), 0);
  EXPECT_TRUE(fs::exists(spaced));
  EXPECT_FALSE(fs::exists(folder.path() / "a"));
  // Shell syntax is plain text to the program: ";" and "$(...)" start nothing.
  const fs::path injected = folder.path() / "injected";
  EXPECT_EQ(RunCommand("true x; touch " + injected.string(), true), 0);
  EXPECT_EQ(RunCommand("true $(touch " + injected.string() + ")", true), 0);
  EXPECT_FALSE(fs::exists(injected));
}

TEST(ShellFilesTest, RenameNeverReplacesAndDeleteRefusesFolders) {
  TempFolder folder;
  const std::string a = (folder.path() / "a.lnk").string();
  const std::string b = (folder.path() / "b.lnk").string();
  std::ofstream(a) << "A";
  std::ofstream(b) << "B";
  EXPECT_FALSE(RenameFileAt(a, b));
  std::ifstream kept(b);
  std::string text;
  kept >> text;
  EXPECT_EQ(text, "B");
  EXPECT_TRUE(DeleteFileAt(b));
  EXPECT_FALSE(DeleteFileAt(b));
  EXPECT_TRUE(RenameFileAt(a, b));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_FALSE(RenameFileAt(a, b));  // the source is gone
  EXPECT_FALSE(DeleteFileAt(folder.path().string()));
  EXPECT_TRUE(fs::is_directory(folder.path()));
  EXPECT_FALSE(DeleteFileAt(""));
  EXPECT_FALSE(RenameFileAt("", b));
}

TEST(ShellFilesTest, DesktopFolderFollowsHome) {
  const char* home = std::getenv("HOME");
  const std::string saved = home != nullptr ? home : "";
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(SpecialFolderPath(kDesktopFolder), "/home/someone/Desktop");
  ::setenv("HOME", "", 1);
  EXPECT_EQ(SpecialFolderPath(kDesktopFolder), std::nullopt);
  if (home != nullptr) {
    ::setenv("HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
  EXPECT_EQ(SpecialFolderPath(kCommonProgramsFolder), std::nullopt);
}

// In a child, as the limit and the handlers are the process's: a write past a file-size limit
// fails like a full disk once the handlers are in place, instead of killing the program.
TEST(TerminationHandlersTest, AFileSizeLimitFailsTheWriteInsteadOfEndingTheProgram) {
  TempFolder folder;
  const std::string file = (folder.path() / "log").string();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstallTerminationHandlers();
    const rlimit limit{16, 16};
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0600);
    if (fd < 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(2);
    const char text[64] = {};
    const ssize_t written = ::write(fd, text, sizeof text);  // 16 bytes fit
    const ssize_t beyond = ::write(fd, text, sizeof text);
    ::_exit(written == 16 && beyond < 0 && errno == EFBIG ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DesktopTiesTest, NoServiceManagerAndNoHtmlDialogHere) {
  EXPECT_EQ(QueryServiceState("TLDDNSService"), kServiceNotInstalled);
  StartServiceByName("TLDDNSService");  // must neither fail loudly nor start anything
  EXPECT_EQ(QueryServiceState("TLDDNSService"), kServiceNotInstalled);
  EXPECT_EQ(ShowHtmlPage("http://127.0.0.1/"), 0);
}

}  // namespace
}  // namespace quorin::platform
