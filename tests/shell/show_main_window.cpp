// show_main_window.exe: shows a running QuorinFree.exe's main window the way a click on its
// tray icon does, for the window demonstration (tools/demo-window.sh), which has no other way
// to click a tray icon under Xvfb. Exit code 0 once the window stays visible, 1 when no main
// window came within 60 seconds.
#include <windows.h>

#include <chrono>
#include <thread>

#include "resources/resource.h"

namespace {

constexpr UINT kTrayCallback = 0x2403;

BOOL CALLBACK FindMain(HWND window, LPARAM found) {
  if (::GetDlgItem(window, IDC_LOGIN) != nullptr && ::GetDlgItem(window, IDC_EXIT) != nullptr &&
      ::GetDlgItem(window, IDC_STATUS_LINE) != nullptr) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int wmain();

int wmain() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    HWND main = nullptr;
    ::EnumWindows(FindMain, reinterpret_cast<LPARAM>(&main));
    if (main != nullptr) {
      if (!::IsWindowVisible(main)) {
        ::PostMessageW(main, kTrayCallback, 1, WM_LBUTTONDOWN);
      } else {
        // Its first two frame paints hide it again; visible after a round trip, it stays.
        ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (::IsWindowVisible(main))
          return 0;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 1;
}
