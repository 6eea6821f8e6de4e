// soak_probe.exe: the soak harness's hands and eyes inside Wine. It finds the running
// QuorinFree.exe and answers one command per line of standard input with one line:
//   stats     the client's private bytes, handles, threads, GDI and USER objects
//   taskbar   the broadcast of a restarted Explorer ("TaskbarCreated")
//   session   a session logon (the desktop switch)
//   resume    a resume from sleep (WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)
//   logout    the main window's logout button, until its login form shows
//   login U P the login form filled in and sent, until the logged-in view shows
//   settings  the settings dialog opened, "maxLog" changed, OK
//   logview   the log viewer opened, cleared, OK
// Answers begin with "ok" or "fail". Each command waits for what it caused, at most 10 s.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

constexpr UINT kSessionChange = 0x02B1;  // WM_WTSSESSION_CHANGE
constexpr WPARAM kSessionLogon = 5;      // WTS_SESSION_LOGON
constexpr ULONGLONG kWaitMs = 10000;

template <typename Done>
bool WaitFor(Done done) {
  const ULONGLONG end = ::GetTickCount64() + kWaitMs;
  while (!done()) {
    if (::GetTickCount64() > end)
      return false;
    ::Sleep(20);  // polling another process's windows: there is nothing to wait on
  }
  return true;
}

DWORD ClientProcessId() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && found == 0;
       more = ::Process32NextW(snapshot, &entry)) {
    if (::lstrcmpiW(entry.szExeFile, L"QuorinFree.exe") == 0)
      found = entry.th32ProcessID;
  }
  ::CloseHandle(snapshot);
  return found;
}

DWORD ThreadCount(DWORD processId) {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD count = 0;
  for (BOOL more = ::Thread32First(snapshot, &entry); more;
       more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == processId)
      ++count;
  }
  ::CloseHandle(snapshot);
  return count;
}

struct Search {
  DWORD processId;
  std::vector<int> controls;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId)
    return TRUE;
  for (const int id : search.controls) {
    if (::GetDlgItem(window, id) == nullptr)
      return TRUE;
  }
  search.found = window;
  return FALSE;
}

HWND WindowWithControls(DWORD processId, std::vector<int> controls) {
  Search search{processId, std::move(controls)};
  ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND MainWindow(DWORD processId) {
  return WindowWithControls(processId, {IDC_LOGIN, IDC_LOGOUT, IDC_EXIT});
}

void Click(HWND window, int id) {
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

// The control's own visibility: the main window itself is hidden in the notification area,
// which makes IsWindowVisible false for every control in it.
bool Visible(HWND window, int id) {
  return (::GetWindowLongPtrW(::GetDlgItem(window, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());  // the harness's names are ASCII
}

std::string Stats(DWORD processId) {
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (process == nullptr)
    return "fail stats no process";
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  const BOOL haveMemory = ::GetProcessMemoryInfo(
      process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  DWORD handles = 0;
  const BOOL haveHandles = ::GetProcessHandleCount(process, &handles);
  const DWORD gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
  const DWORD user = ::GetGuiResources(process, GR_USEROBJECTS);
  ::CloseHandle(process);
  std::ostringstream out;
  out << "ok stats private=" << (haveMemory ? memory.PrivateUsage : 0)
      << " handles=" << (haveHandles ? handles : 0) << " threads=" << ThreadCount(processId)
      << " gdi=" << gdi << " user=" << user;
  return out.str();
}

std::string Run(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  const DWORD processId = ClientProcessId();
  if (processId == 0)
    return "fail " + command + " no client";
  if (command == "stats")
    return Stats(processId);
  const HWND main = MainWindow(processId);
  if (main == nullptr)
    return "fail " + command + " no main window";
  DWORD_PTR ignored = 0;
  if (command == "taskbar" || command == "session" || command == "resume") {
    UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    WPARAM wParam = 0;
    if (command == "session") {
      message = kSessionChange;
      wParam = kSessionLogon;
    } else if (command == "resume") {
      message = WM_POWERBROADCAST;
      wParam = PBT_APMRESUMEAUTOMATIC;
    }
    const bool answered =
        ::SendMessageTimeoutW(main, message, wParam, 0, SMTO_NORMAL, 10000, &ignored) != 0;
    return (answered ? "ok " : "fail ") + command;
  }
  if (command == "logout") {
    Click(main, IDC_LOGOUT);
    return (WaitFor([&] { return Visible(main, IDC_LOGIN); }) ? "ok " : "fail ") + command;
  }
  if (command == "login") {
    std::string user, password;
    words >> user >> password;
    ::SetDlgItemTextW(main, IDC_ACCOUNT_NAME, Wide(user).c_str());
    ::SetDlgItemTextW(main, IDC_PASSWORD, Wide(password).c_str());
    Click(main, IDC_LOGIN);
    const bool in = WaitFor([&] { return Visible(main, IDC_LOGOUT) && !Visible(main, IDC_LOGIN); });
    return (in ? "ok " : "fail ") + command;
  }
  if (command == "settings" || command == "logview") {
    const bool settings = command == "settings";
    const std::vector<int> controls = settings ? std::vector<int>{IDC_SERVICE_MODE, IDC_MAX_LOG}
                                               : std::vector<int>{IDC_LOG_LIST, IDC_CLEAR_LOG};
    ::PostMessageW(main, WM_COMMAND, settings ? ID_MENU_SETTINGS : ID_MENU_LOG, 0);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = WindowWithControls(processId, controls)) != nullptr; }))
      return "fail " + command + " no dialog";
    if (settings) {
      wchar_t text[16] = {};
      ::GetDlgItemTextW(dialog, IDC_MAX_LOG, text, 16);
      ::SetDlgItemTextW(dialog, IDC_MAX_LOG, std::wstring(text) == L"200" ? L"100" : L"200");
    } else {
      Click(dialog, IDC_CLEAR_LOG);
      const HWND list = ::GetDlgItem(dialog, IDC_LOG_LIST);
      if (!WaitFor([&] { return ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0; }))
        return "fail logview not cleared";
    }
    Click(dialog, IDOK);
    return (WaitFor([&] { return !::IsWindow(dialog); }) ? "ok " : "fail ") + command;
  }
  return "fail " + command + " unknown";
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty())
      continue;
    std::cout << Run(line) << std::endl;
  }
  return 0;
}
