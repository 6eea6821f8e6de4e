// Helpers of the tests that run the installed QuorinFree.exe: copies of the installation,
// client runs, the client's settings and its windows.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace quorin::shelltest {

// A copy of the installation in a folder of its own, removed again at the end.
class InstallCopy {
 public:
  InstallCopy();
  ~InstallCopy();
  InstallCopy(const InstallCopy&) = delete;
  InstallCopy& operator=(const InstallCopy&) = delete;

  const std::wstring& folder() const { return folder_; }
  std::wstring File(const std::wstring& name) const { return folder_ + L"\\" + name; }
  void Remove(const std::wstring& name) const;
  void Replace(const std::wstring& name, const std::wstring& source) const;
  void Write(const std::wstring& name, const std::string& content) const;
  bool Has(const std::wstring& name) const;

 private:
  std::wstring folder_;
};

// One start of QuorinFree.exe. A run still alive at the end is ended.
class ClientRun {
 public:
  ClientRun(const InstallCopy& install, const std::wstring& arguments = L"",
            const std::wstring& currentDirectory = L"");
  ~ClientRun();
  ClientRun(const ClientRun&) = delete;
  ClientRun& operator=(const ClientRun&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD processId() const { return processId_; }
  // The exit code once the process has ended within the limit; nothing while it still runs.
  std::optional<DWORD> WaitForExit(DWORD limitMs = 60000);
  bool Running() const;

  // The main window (template 102) once it exists, shown or hidden; null when it did not come.
  HWND MainWindow(DWORD limitMs = 60000);
  // The main window shown by one click on the tray icon; null when it did not come, or when a
  // frame paint afterwards hid it again.
  HWND ShowMainWindow(DWORD limitMs = 60000);
  // The client's message dialog (template 154) once it shows; null when it did not.
  HWND MessageDialog(DWORD limitMs = 60000);
  // Ends the client through its exit button and the confirmation; true when it ended.
  bool ExitThroughTheButton();

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Sends `command` to the main window and shows that the window's loop went on past it: the
// about box, asked for afterwards, opens (and is closed again). False when the command ended
// the window (its loop would never open the box).
bool CommandLeavesTheWindowOpen(ClientRun& run, HWND main, WPARAM command);

// The client's settings (HKEY_LOCAL_MACHINE\SOFTWARE\tilro\tlHost).
void SetClientSetting(const std::string& name, const std::string& value);
void RemoveClientSetting(const std::string& name);
std::optional<std::string> ClientSetting(const std::string& name);

// The settings every start-up test begins with: no update check, shortcuts already renamed,
// no vendor build, the built-in version.
void ResetClientSettings();

// The screen's DPI as the prefix records it; each program started afterwards reads it.
void SetScreenDpi(DWORD dpi);

bool FileExists(const std::wstring& path);
std::string ReadFileText(const std::wstring& path);

}  // namespace quorin::shelltest
