// Test helper: finds the updater's "Usage" message box, prints its text and whether it has an
// owner, and closes it with its OK button, as a user would.
//   close_usage_box [WAIT_MS]
// Exit status: 0 closed, 1 no such box appeared within WAIT_MS (default 20000).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/wide_text.h"

int main(int argc, char** argv) {
  const long waitMs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 20000;
  HWND box = nullptr;
  for (long waited = 0; waited <= waitMs && box == nullptr; waited += 100) {
    box = ::FindWindowW(L"#32770", L"Usage");  // the dialog class of message boxes
    if (box == nullptr)
      ::Sleep(100);
  }
  if (box == nullptr) {
    std::puts("box=none");
    return 1;
  }
  wchar_t text[1024] = {};
  ::GetDlgItemTextW(box, 0xFFFF, text, 1024);  // a message box's text is control 0xFFFF
  const std::string message = quorin::platform::Utf8FromWide(text);
  std::printf("box=found\nowner=%s\ntext=", ::GetWindow(box, GW_OWNER) ? "some" : "none");
  std::fwrite(message.data(), 1, message.size(), stdout);
  std::printf("\n");
  std::fflush(stdout);
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}
