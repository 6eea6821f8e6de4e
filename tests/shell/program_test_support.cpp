#include "tests/shell/program_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32/registry_store.h"
#include "resources/resource.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\tilro\\tlHost";

platform::RegistryStore& Registry() {
  static platform::RegistryStore store;
  return store;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..")
        continue;
      const std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(folder.c_str());
}

void CopyTree(const std::wstring& from, const std::wstring& to) {
  ::CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW entry;
  const HANDLE search = ::FindFirstFileW((from + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..")
      continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(from + L"\\" + name, to + L"\\" + name);
    } else {
      ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    }
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
}

}  // namespace

InstallCopy::InstallCopy() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  folder_ = std::wstring(temp) + L"quorin-install-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(++counter);
  RemoveTree(folder_);
  CopyTree(Environment(L"QUORIN_SHELL_INSTALL"), folder_);
}

InstallCopy::~InstallCopy() {
  RemoveTree(folder_);
}

void InstallCopy::Remove(const std::wstring& name) const {
  ::DeleteFileW(File(name).c_str());
}

void InstallCopy::Replace(const std::wstring& name, const std::wstring& source) const {
  ::CopyFileW(source.c_str(), File(name).c_str(), FALSE);
}

void InstallCopy::Write(const std::wstring& name, const std::string& content) const {
  std::ofstream(std::filesystem::path(File(name)), std::ios::binary) << content;
}

bool InstallCopy::Has(const std::wstring& name) const {
  return FileExists(File(name));
}

ClientRun::ClientRun(const InstallCopy& install, const std::wstring& arguments,
                     const std::wstring& currentDirectory) {
  std::wstring commandLine = L"\"" + install.File(L"QuorinFree.exe") + L"\"";
  if (!arguments.empty())
    commandLine += L" " + arguments;
  const std::wstring directory = currentDirectory.empty() ? install.folder() : currentDirectory;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       directory.c_str(), &startup, &info)) {
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
  }
}

ClientRun::~ClientRun() {
  if (process_ == nullptr)
    return;
  if (Running()) {
    // A test that failed half-way leaves its client behind; the next test needs a clean slate.
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, 5000);
  }
  ::CloseHandle(process_);
}

std::optional<DWORD> ClientRun::WaitForExit(DWORD limitMs) {
  if (process_ == nullptr || ::WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

bool ClientRun::Running() const {
  return process_ != nullptr && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

HWND ClientRun::MainWindow(DWORD limitMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowWithControls(processId_, {IDC_LOGIN, IDC_EXIT, IDC_STATUS_LINE}, true);
        return found != nullptr || !Running();
      },
      std::chrono::milliseconds(limitMs));
  // The window exists from the start of its initialisation on; a message it answers comes
  // after the initialisation (or from a message dialog that the initialisation opened).
  if (found != nullptr)
    ::SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, nullptr);
  return found;
}

HWND ClientRun::ShowMainWindow(DWORD limitMs) {
  const HWND main = MainWindow(limitMs);
  if (main == nullptr)
    return nullptr;
  // One click, as a user gives it: the window must come and stay. Posted, as the shell posts
  // it: a posted message waits for the window's loop, which runs once the start is over.
  constexpr UINT kTrayCallback = 0x2403;
  ::PostMessageW(main, kTrayCallback, 1, WM_LBUTTONDOWN);
  // The start's own show can make the window visible for a moment before the click has been
  // handled; a frame paint then hides it, and the click shows it again. Once the click has
  // been handled, a frame paint paints the frame and the window stays.
  const bool stays = WaitUntil(
      [&] {
        if (!::IsWindowVisible(main))
          return false;
        ::SendMessageTimeoutW(main, WM_NCPAINT, 1, 0, SMTO_NORMAL, 5000, nullptr);
        return ::IsWindowVisible(main) != FALSE;
      },
      std::chrono::milliseconds(limitMs));
  return stays ? main : nullptr;
}

HWND ClientRun::MessageDialog(DWORD limitMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowWithControls(processId_, {IDC_MESSAGE_TEXT, IDC_MESSAGE_COUNTDOWN});
        return found != nullptr || !Running();
      },
      std::chrono::milliseconds(limitMs));
  return found;
}

bool ClientRun::ExitThroughTheButton() {
  const HWND main = MainWindow();
  if (main == nullptr)
    return false;
  PostButtonClick(main, IDC_EXIT);
  const HWND confirm = MessageDialog();
  if (confirm == nullptr)
    return false;
  PostButtonClick(confirm, IDOK);
  return WaitForExit().has_value();
}

bool CommandLeavesTheWindowOpen(ClientRun& run, HWND main, WPARAM command) {
  // A disabled window (a job under way) takes no menu command, the about box's neither.
  if (!WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; }))
    return false;
  if (::SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_NORMAL, 5000, nullptr) == 0)
    return false;
  ::PostMessageW(main, WM_COMMAND, ID_MENU_ABOUT, 0);
  HWND about = nullptr;
  WaitUntil([&] {
    about = FindWindowWithControls(run.processId(), {IDC_ABOUT_TITLE, IDC_ABOUT_PICTURE});
    return about != nullptr || !run.Running();
  });
  if (about == nullptr)
    return false;
  PostButtonClick(about, IDOK);
  return WaitUntil([&] { return !::IsWindow(about); }) && run.Running();
}

void SetClientSetting(const std::string& name, const std::string& value) {
  Registry().Write(platform::RootKey::LocalMachine, kSettingsKey, name, value);
}

void RemoveClientSetting(const std::string& name) {
  Registry().Remove(platform::RootKey::LocalMachine, kSettingsKey, name);
}

std::optional<std::string> ClientSetting(const std::string& name) {
  return Registry().Read(platform::RootKey::LocalMachine, kSettingsKey, name);
}

void ResetClientSettings() {
  SetClientSetting("AutoVersionCheck", "0");
  SetClientSetting("afterV303", "1");
  for (const char* name : {"vendor", "curVersion", "autoLogin", "erp", "watchRouter"})
    RemoveClientSetting(name);
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetScreenDpi(DWORD dpi) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                     sizeof dpi);
    ::RegCloseKey(key);
  }
}

}  // namespace quorin::shelltest
