#include "tests/shell/window_test_support.h"

#include <thread>

namespace quorin::shelltest {
namespace {

struct WindowSearch {
  DWORD processId = 0;
  bool visibleOnly = true;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && (!search->visibleOnly || ::IsWindowVisible(window)))
    search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM parameter) {
  if (::IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildText(HWND window, LPARAM parameter) {
  reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(WindowText(window));
  return TRUE;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::wstring Environment(const wchar_t* name) {
  wchar_t value[2048] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 2048);
  return length > 0 && length < 2048 ? std::wstring(value, length) : std::wstring();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::vector<HWND> VisibleWindowsOfProcess(DWORD processId) {
  WindowSearch search{processId, true, {}};
  ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> VisibleWindowsOfThread(DWORD threadId) {
  std::vector<HWND> found;
  ::EnumThreadWindows(threadId, CollectThreadWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> WindowsOfProcess(DWORD processId) {
  WindowSearch search{processId, false, {}};
  ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindWindowWithControls(DWORD processId, const std::vector<int>& controlIds,
                            bool includeHidden) {
  for (const HWND window :
       includeHidden ? WindowsOfProcess(processId) : VisibleWindowsOfProcess(processId)) {
    bool all = true;
    for (const int id : controlIds)
      all = all && ::GetDlgItem(window, id) != nullptr;
    if (all)
      return window;
  }
  return nullptr;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  const int length = ::GetWindowTextW(window, text, 1024);
  return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring ControlText(HWND dialog, int controlId) {
  return WindowText(::GetDlgItem(dialog, controlId));
}

bool ControlVisible(HWND dialog, int controlId) {
  const HWND control = ::GetDlgItem(dialog, controlId);
  return control != nullptr && (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::vector<std::wstring> ChildTexts(HWND window) {
  std::vector<std::wstring> texts;
  ::EnumChildWindows(window, CollectChildText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void PostButtonClick(HWND dialog, int controlId) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, controlId)));
}

bool TakeScreenshot(const std::wstring& name) {
  const std::wstring folder = Environment(L"QUORIN_SHOT_REQUESTS");
  if (folder.empty())
    return false;
  // Let the windows finish painting first.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const std::wstring request = folder + L"\\" + name + L".request";
  const std::wstring done = folder + L"\\" + name + L".done";
  const HANDLE file = ::CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  ::CloseHandle(file);
  const bool answered = WaitUntil([&] { return FileExists(done); });
  ::DeleteFileW(done.c_str());
  return answered;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty())
    return std::wstring();
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty())
    return std::string();
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(),
                        length, nullptr, nullptr);
  return narrow;
}

}  // namespace quorin::shelltest
