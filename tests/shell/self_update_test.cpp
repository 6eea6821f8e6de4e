// The self-update end to end on an installed copy: the provider simulator offers the files and
// serves them (below QUORIN_UPDATE_FILES), menu command 32783 downloads them with the progress
// window, the batch replaces them under Wine's cmd and the restarted client shows the new
// version and deletes the batch. Also the ways an update is given up: a cancel, a wrong length,
// no files, every kind of unsafe name, a batch that cannot be written; and the update through
// a temporary folder with a name outside ASCII, on a Chinese and on a Western system.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "resources/resource.h"
#include "tests/shell/program_test_support.h"
#include "tests/shell/window_test_support.h"
#include "tests/support/simulator_control.h"

namespace quorin::shelltest {
namespace {

// The stub main dialog does not log in: the request carries an empty session, which this
// account accepts.
constexpr const char* kAccounts = R"({"users": {"": {"password": "", "key": "", "randText": ""}}})";
constexpr const char* kNewVersion = "ver9.1.0";
constexpr const char* kBuildMark = "QUORIN-NEW-BUILD";

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  return temp;
}

std::wstring Caption(HWND window) {
  return WindowText(window);
}

HWND ProgressWindow(DWORD processId) {
  for (const HWND window : VisibleWindowsOfProcess(processId)) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (std::wstring(name) == L"QuorinFree.Progress")
      return window;
  }
  return nullptr;
}

// The main window of the client that the batch started, with its process id.
HWND RestartedClient(DWORD oldProcessId, DWORD& processId) {
  HWND found = nullptr;
  WaitUntil([&] {
    found = nullptr;
    for (HWND window = ::GetTopWindow(nullptr); window != nullptr;
         window = ::GetNextWindow(window, GW_HWNDNEXT)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      // The main window starts hidden: a window with the login button and a caption (set
      // at the end of its initialisation) is the new client's.
      if (owner != oldProcessId && ::GetDlgItem(window, IDC_LOGIN) != nullptr &&
          ::GetDlgItem(window, IDC_EXIT) != nullptr && ::GetWindowTextLengthW(window) > 0) {
        found = window;
        processId = owner;
      }
    }
    return found != nullptr;
  });
  return found;
}

// A temporary folder of the test's own with `name` in its path, the temporary folder of every
// client started while it exists (the system takes TMP, then TEMP); removed at the end.
class TemporaryFolderNamed {
 public:
  explicit TemporaryFolderNamed(const std::wstring& name)
      : oldTmp_(Environment(L"TMP")), oldTemp_(Environment(L"TEMP")) {
    path_ = TempFolder() + name;
    std::filesystem::create_directories(path_);
    ::SetEnvironmentVariableW(L"TMP", path_.c_str());
    ::SetEnvironmentVariableW(L"TEMP", path_.c_str());
  }
  ~TemporaryFolderNamed() {
    ::SetEnvironmentVariableW(L"TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
    ::SetEnvironmentVariableW(L"TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolderNamed(const TemporaryFolderNamed&) = delete;
  TemporaryFolderNamed& operator=(const TemporaryFolderNamed&) = delete;

 private:
  std::wstring oldTmp_;
  std::wstring oldTemp_;
  std::wstring path_;
};

// A text in the OEM code page, in which the command interpreter reads a batch.
std::string OemBytes(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  ::WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                        size, nullptr, nullptr);
  return bytes;
}

// Ends a client that the test did not start the way a user does.
void EndThroughTheButton(HWND main, DWORD processId) {
  PostButtonClick(main, IDC_EXIT);
  HWND confirm = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    confirm = FindWindowWithControls(processId, {IDC_MESSAGE_TEXT, IDC_MESSAGE_COUNTDOWN});
    return confirm != nullptr;
  }));
  PostButtonClick(confirm, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(main); }));
}

class SelfUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Environment(L"QUORIN_SHELL_INSTALL").empty());
    ResetClientSettings();
    for (const char* name :
         {"UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2"})
      SetClientSetting(name, simulator_.host());
    simulator_.SetAccounts(kAccounts);
    simulator_.ClearFaults();
    // The simulator's folder, a Linux path, is reached through Wine's drive Z:.
    std::wstring served = Environment(L"QUORIN_UPDATE_FILES");
    for (wchar_t& c : served)
      c = c == L'/' ? L'\\' : c;
    files_ = std::filesystem::path(L"Z:" + served) / "u";
    std::filesystem::remove_all(files_);
    std::filesystem::create_directories(files_ / "skin");
    ::DeleteFileW(Batch().c_str());
    ::DeleteFileW((Batch() + L".seen").c_str());
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(files_, ignored);
  }

  static std::wstring Batch() { return TempFolder() + L"QuorinUpdate.bat"; }

  void Serve(const std::string& name, const std::string& content) {
    std::ofstream(files_ / std::filesystem::path(Wide(name)), std::ios::binary) << content;
  }
  void Offer(const std::string& items) {
    simulator_.Call("POST", "/control/upgrade",
                    std::string(R"({"version": ")") + kNewVersion + R"(", "base": "http://)" +
                        simulator_.host() + R"(:5353/files/u", "items": [)" + items + "]}");
  }
  void Trickle(const std::string& path, int intervalMs) {
    simulator_.SetFault(R"({"server": "login", "path": "/files/u/)" + path +
                        R"(", "mode": "trickle", "interval_ms": )" + std::to_string(intervalMs) +
                        "}");
  }
  // Starts the update from the main window's menu.
  static void StartUpdate(HWND main) { ::PostMessageW(main, WM_COMMAND, ID_MENU_CHECK_UPDATE, 0); }
  // The message the update ends with: its text, after answering OK.
  static std::wstring Answer(ClientRun& run) {
    const HWND box = run.MessageDialog();
    if (box == nullptr)
      return L"<no message>";
    const std::wstring text = ControlText(box, IDC_MESSAGE_TEXT);
    PostButtonClick(box, IDOK);
    WaitUntil([&] { return !::IsWindow(box); });
    return text;
  }
  // The new client deletes the batch named on its command line. Wine's cmd keeps the batch
  // open until the program that its last line started has ended (Windows' cmd reads a batch
  // line by line), so under Wine the delete is seen with the same command line once more.
  static void ExpectTheBatchDeleted(const InstallCopy& install) {
    ASSERT_TRUE(WaitUntil([] {
      const HANDLE file =
          ::CreateFileW(Batch().c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
      ::CloseHandle(file);
      return true;
    })) << "the batch is no longer in use";
    if (FileExists(Batch())) {
      ClientRun again(install, L"\"" + Batch() + L"\"");
      ASSERT_NE(again.MainWindow(), nullptr);
      EXPECT_FALSE(FileExists(Batch()));
      EXPECT_TRUE(again.ExitThroughTheButton());
    }
    EXPECT_FALSE(FileExists(Batch()));
  }

  // The whole update with the temporary folder below a folder called `name`: the batch is
  // written in the OEM code page, so the command interpreter finds every path, copies the
  // file, and the new client starts and deletes the batch.
  void UpdateThroughTemporaryFolder(const std::wstring& name) {
    InstallCopy install;
    install.Replace(L"holdon.exe", Environment(L"QUORIN_SHELL_BIN") + L"\\holdon_witness.exe");
    const TemporaryFolderNamed temporary(name);
    ::DeleteFileW(Batch().c_str());
    Serve("note.txt", "new note");
    Offer(R"(["note.txt", 8])");
    ClientRun run(install);
    const HWND main = run.MainWindow();
    ASSERT_NE(main, nullptr);
    StartUpdate(main);
    Answer(run);  // the download is done (in the system's language)
    const auto code = run.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the batch could not be written or started";
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(ClientSetting("curVersion").value_or(""), kNewVersion);

    DWORD restartedId = 0;
    const HWND restarted = RestartedClient(run.processId(), restartedId);
    ASSERT_NE(restarted, nullptr) << "the batch must start the new client";
    EXPECT_EQ(ReadFileText(install.File(L"note.txt")), "new note");
    EXPECT_FALSE(FileExists(TempFolder() + L"note.txt"));
    const std::wstring temp = TempFolder();
    const std::wstring folder = install.folder();
    const std::string seen = ReadFileText(Batch() + L".seen");
    EXPECT_EQ(seen, OemBytes(L"\"" + folder + L"\\holdon.exe\" \"" + Batch() + L"\"\r\n" +
                             L"copy \"" + temp + L"\\note.txt\" \"" + folder + L"\\note.txt\"\r\n" +
                             L"del \"" + temp + L"\\note.txt\"\r\n" + L"\"" + folder +
                             L"\\QuorinFree.exe\" \"" + Batch() + L"\"\r\n"));
    EXPECT_NE(seen.find(OemBytes(name)), std::string::npos);
    EXPECT_EQ(seen.find(Utf8(name)), std::string::npos) << "the folder's name is not in UTF-8";
    EndThroughTheButton(restarted, restartedId);
    ExpectTheBatchDeleted(install);
  }

  static std::wstring ShotTag() {
    const std::wstring tag = Environment(L"QUORIN_SHOT_TAG");
    return tag.empty() ? L"96_en" : tag;
  }

  testing::SimulatorControl simulator_ =
      testing::SimulatorFromEnvironment("QUORIN_UPDATE_SIM_HOST", "QUORIN_UPDATE_SIM_CONTROL");
  std::filesystem::path files_;
};

TEST_F(SelfUpdateTest, CancelDuringTheSecondFileWritesNoBatch) {
  InstallCopy install;
  Serve("first.bin", std::string(1000, 'a'));
  Serve("skin/second.bin", std::string(4000, 'b'));
  Offer(R"(["first.bin", 1000], ["skin/second.bin", 4000])");
  Trickle("skin/second.bin", 20);  // about 80 seconds: the cancel comes long before
  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  StartUpdate(main);
  HWND progress = nullptr;
  // The first file is whole (20 %), the second is arriving.
  ASSERT_TRUE(WaitUntil([&] {
    progress = ProgressWindow(run.processId());
    return progress != nullptr && Caption(progress).find(L"[20%]") != std::wstring::npos;
  })) << (progress ? Utf8(Caption(progress)) : "no progress window");
  EXPECT_FALSE(::IsWindowEnabled(main));
  EXPECT_TRUE(TakeScreenshot(L"self_update_progress_" + ShotTag()));

  const HWND cancel = ::FindWindowExW(progress, nullptr, L"Button", nullptr);
  ASSERT_NE(cancel, nullptr);
  // A click as the button gets it: pressed and released inside.
  ::PostMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::PostMessageW(cancel, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(Answer(run), L"The update was cancelled.");
  EXPECT_TRUE(::IsWindowEnabled(main));
  EXPECT_FALSE(FileExists(Batch()));
  EXPECT_TRUE(run.Running());
  EXPECT_NE(ClientSetting("curVersion").value_or(""), kNewVersion);
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(SelfUpdateTest, FailuresAndRefusalsLeaveEverythingAsItWas) {
  InstallCopy install;
  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);

  // A length other than the listed one.
  Serve("first.bin", std::string(1000, 'a'));
  Offer(R"(["first.bin", 999])");
  StartUpdate(main);
  EXPECT_EQ(Answer(run), L"A downloaded file has the wrong size.");

  // A transfer cut off before its listed length.
  simulator_.SetFault(
      R"({"server": "login", "path": "/files/u/first.bin", "mode": "cut", "bytes": 400})");
  Offer(R"(["first.bin", 1000])");
  StartUpdate(main);
  EXPECT_EQ(Answer(run), L"A downloaded file has the wrong size.");
  simulator_.ClearFaults();

  // No files at all.
  Offer("");
  StartUpdate(main);
  EXPECT_EQ(Answer(run), L"No new version is available.");

  // One unsafe name refuses the whole offer before anything is fetched.
  const std::wstring refused =
      L"The update was refused: the server named a file or address that is not safe to use:";
  for (const char* bad : {R"(../../evil.txt)", R"(C:\\evil.txt)", R"(\\\\host\\share\\evil.txt)",
                          "NUL", "skin//evil.txt", "evil.txt.", R"(a\"&calc.exe)", "a%PATH%.txt",
                          "a>b.txt", "a^b.txt", "a\\u0007b.txt"}) {
    const std::int64_t since = simulator_.LastSeq();
    Offer(std::string(R"(["first.bin", 1000], [")") + bad + R"(", 5])");
    StartUpdate(main);
    EXPECT_EQ(Answer(run).rfind(refused, 0), 0u) << bad;
    for (const auto& record : simulator_.RecordsSince(since, 1, 200))
      EXPECT_EQ(record.path.rfind("/files/", 0), std::string::npos) << bad;
  }
  simulator_.Call("POST", "/control/upgrade",
                  R"({"version": "ver9", "base": "file:///C:/Windows", "items": [["x.dll", 1]]})");
  StartUpdate(main);
  EXPECT_EQ(Answer(run).rfind(refused, 0), 0u);

  // A batch that cannot be written (a folder stands in its place): the user is told, the
  // version stays and the client goes on.
  ASSERT_TRUE(::CreateDirectoryW(Batch().c_str(), nullptr));
  Offer(R"(["first.bin", 1000])");
  StartUpdate(main);
  EXPECT_EQ(Answer(run).find(L"The new version has been downloaded."), 0u);
  EXPECT_EQ(Answer(run),
            L"The new version was not installed and QuorinFree keeps the current "
            L"one: it could not write or start the update batch \"" +
                Batch() + L"\"");
  EXPECT_TRUE(run.Running());
  EXPECT_TRUE(::RemoveDirectoryW(Batch().c_str()));

  EXPECT_FALSE(FileExists(TempFolder() + L"..\\..\\evil.txt"));
  EXPECT_FALSE(FileExists(install.File(L"..\\..\\evil.txt")));
  EXPECT_FALSE(FileExists(Batch()));
  EXPECT_FALSE(ClientSetting("curVersion").has_value());
  EXPECT_TRUE(run.ExitThroughTheButton());
}

TEST_F(SelfUpdateTest, TheBatchReplacesTheFilesAndTheNewClientStarts) {
  InstallCopy install;
  install.Replace(L"holdon.exe", Environment(L"QUORIN_SHELL_BIN") + L"\\holdon_witness.exe");
  // The new build: the installed program with a mark after its end (the loader ignores it),
  // and a file in a folder that the installation does not have yet.
  std::string program = ReadFileText(install.File(L"QuorinFree.exe"));
  ASSERT_FALSE(program.empty());
  program += kBuildMark;
  Serve("QuorinFree.exe", program);
  std::filesystem::create_directories(files_ / "extra");
  Serve("extra/note.txt", "new note");
  Offer("[\"QuorinFree.exe\", " + std::to_string(program.size()) + R"(], ["extra/note.txt", 8])");
  Trickle("extra/note.txt", 20);  // a moment to see the progress window

  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  StartUpdate(main);
  EXPECT_EQ(Answer(run),
            L"The new version has been downloaded. QuorinFree now closes and starts again to "
            L"install it.");
  const auto code = run.WaitForExit();
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(ClientSetting("curVersion").value_or(""), kNewVersion);

  DWORD restartedId = 0;
  const HWND restarted = RestartedClient(run.processId(), restartedId);
  ASSERT_NE(restarted, nullptr) << "the batch must start the new client";
  EXPECT_TRUE(WaitUntil([&] {
    return Caption(restarted).find(Wide(kNewVersion)) != std::wstring::npos;
  })) << Utf8(Caption(restarted));

  const std::string temp = Utf8(TempFolder());
  const std::string folder = Utf8(install.folder());
  const std::string batch = Utf8(Batch());
  EXPECT_EQ(ReadFileText(Batch() + L".seen"),
            "\"" + folder + "\\holdon.exe\" \"" + batch + "\"\r\n" + "copy \"" + temp +
                "\\QuorinFree.exe\" \"" + folder + "\\QuorinFree.exe\"\r\n" + "del \"" + temp +
                "\\QuorinFree.exe\"\r\n" + "copy \"" + temp + "\\extra\\note.txt\" \"" + folder +
                "\\extra\\note.txt\"\r\n" + "del \"" + temp + "\\extra\\note.txt\"\r\n" + "\"" +
                folder + "\\QuorinFree.exe\" \"" + batch + "\"\r\n");
  EXPECT_EQ(ReadFileText(install.File(L"QuorinFree.exe")), program);
  EXPECT_FALSE(FileExists(TempFolder() + L"QuorinFree.exe"));
  EXPECT_FALSE(FileExists(TempFolder() + L"extra\\note.txt"));

  EndThroughTheButton(restarted, restartedId);

  ExpectTheBatchDeleted(install);
}

TEST_F(SelfUpdateTest, SizesAddingUpToNothingShowAllAtOnceAndStillFetchEveryFile) {
  InstallCopy install;
  Serve("empty.ini", "");
  std::filesystem::create_directories(files_ / "zero");
  Serve("zero/empty.txt", "");
  Offer(R"(["empty.ini", 0], ["zero/empty.txt", 0])");
  Trickle("zero/empty.txt", 50);  // its answer takes seconds while the window shows
  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  StartUpdate(main);
  std::wstring firstShare;
  ASSERT_TRUE(WaitUntil([&] {
    const HWND progress = ProgressWindow(run.processId());
    const std::wstring caption = progress ? Caption(progress) : L"";
    if (caption.find(L"%]") != std::wstring::npos && firstShare.empty())
      firstShare = caption.substr(caption.rfind(L'['));
    return !firstShare.empty();
  }));
  EXPECT_EQ(firstShare, L"[100%]");
  EXPECT_EQ(Answer(run).find(L"The new version has been downloaded."), 0u);
  ASSERT_TRUE(run.WaitForExit().has_value());
  DWORD restartedId = 0;
  const HWND restarted = RestartedClient(run.processId(), restartedId);
  ASSERT_NE(restarted, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return FileExists(install.File(L"zero\\empty.txt")); }));
  EXPECT_TRUE(FileExists(install.File(L"empty.ini")));
  EndThroughTheButton(restarted, restartedId);
}

// The code page tests run in locales of their own (CMakeLists.txt), each skipped elsewhere.
TEST_F(SelfUpdateTest, CodePage936TheBatchFindsAFolderWithAChineseName) {
  if (::GetOEMCP() != 936)
    GTEST_SKIP() << "needs the OEM code page 936, not " << ::GetOEMCP();
  UpdateThroughTemporaryFolder(L"张三");
}

TEST_F(SelfUpdateTest, CodePage1252TheBatchFindsAFolderWithAnAccentAndRefusesAChineseOne) {
  if (::GetACP() != 1252)
    GTEST_SKIP() << "needs the system code page 1252, not " << ::GetACP();
  UpdateThroughTemporaryFolder(L"José");

  // A folder that the OEM code page cannot write: refused before anything is fetched, the
  // version stays, no batch.
  RemoveClientSetting("curVersion");
  InstallCopy install;
  const TemporaryFolderNamed temporary(L"张三");
  Serve("note.txt", "new note");
  Offer(R"(["note.txt", 8])");
  ClientRun run(install);
  const HWND main = run.MainWindow();
  ASSERT_NE(main, nullptr);
  const std::int64_t since = simulator_.LastSeq();
  StartUpdate(main);
  EXPECT_EQ(Answer(run),
            L"The update was refused: the server named a file or address that is not safe to "
            L"use: \"" +
                TempFolder() + L"\"");
  for (const auto& record : simulator_.RecordsSince(since, 1, 200))
    EXPECT_EQ(record.path.rfind("/files/", 0), std::string::npos) << record.path;
  EXPECT_FALSE(FileExists(Batch()));
  EXPECT_FALSE(FileExists(install.File(L"note.txt")));
  EXPECT_FALSE(ClientSetting("curVersion").has_value());
  EXPECT_TRUE(run.ExitThroughTheButton());
}

}  // namespace
}  // namespace quorin::shelltest
