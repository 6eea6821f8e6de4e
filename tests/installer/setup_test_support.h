// Helpers of the setup's tests: programs started and waited for, the registry, files, the
// shortcuts and the installed client's windows, all as a Windows program sees them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quorin::setuptest {

// A started program; ended at the end of the test if it still runs.
class Program {
 public:
  explicit Program(const std::wstring& commandLine);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD processId() const { return processId_; }
  bool Running() const;
  // The exit code once the program has ended within the limit; nothing while it still runs.
  std::optional<DWORD> WaitForExit(DWORD limitMs = 180000);

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// A command line's exit code, or nothing when it did not start or end within the limit.
std::optional<DWORD> RunToEnd(const std::wstring& commandLine);

std::wstring ProgramFilesFolder();
std::wstring CommonProgramsFolder();
bool PathExists(const std::wstring& path);
std::string FileText(const std::wstring& path);
void WriteFileText(const std::wstring& path, const std::string& text);
// The program a shortcut starts; empty when the shortcut cannot be read.
std::wstring ShortcutTarget(const std::wstring& link);

std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key,
                                         const std::wstring& name);
std::optional<DWORD> RegistryNumber(HKEY root, const std::wstring& key, const std::wstring& name);
bool RegistryKeyExists(HKEY root, const std::wstring& key);
void SetRegistryText(HKEY root, const std::wstring& key, const std::wstring& name,
                     const std::wstring& value);

bool ServiceInstalled(const std::wstring& name);
// Starts a service and waits until it reports running; false when it does not.
bool StartServiceAndWait(const std::wstring& name);
std::optional<ULONGLONG> FileSize(const std::wstring& path);
// A Linux path of the build tree as Wine's drive Z: shows it.
std::wstring WinePath(const std::string& unixPath);

// The running client's main window: the top-level window whose property named by the product
// title holds 1 (set while it initialises; the window itself starts hidden); null when none
// appears within the limit.
HWND WaitForClientWindow(const std::wstring& productTitle, DWORD limitMs = 60000);
// Confirms the exit question that the client shows when it is asked to end (its message
// dialog); false when none showed within the limit.
bool ConfirmClientExit(DWORD clientProcessId, DWORD limitMs = 120000);

}  // namespace quorin::setuptest
