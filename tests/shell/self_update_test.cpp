// The self-update end to end on an installed copy: the provider simulator offers the files and
// serves them (below QUORIN_UPDATE_FILES), menu command 32783 downloads them with the progress
// window, the batch replaces them under Wine's cmd and the restarted client shows the new
// version and deletes the batch. Also the ways an update is given up: a cancel, a wrong length,
// no files, and every kind of unsafe name.
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
  ::PostMessageW(cancel, WM_LBUTTONUP, 0, 0);
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

  // The new client deletes the batch named on its command line. Wine's cmd keeps the batch
  // open until the program that its last line started has ended (Windows' cmd reads a batch
  // line by line), so under Wine the delete is seen with the same command line once more.
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

}  // namespace
}  // namespace quorin::shelltest
