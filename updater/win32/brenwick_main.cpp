// Brenwick.exe: a GUI-subsystem program without a window, so no console opens when the
// auto-update component starts it. Its only window is the usage box.
#include <windows.h>

#include "platform/win32/wide_text.h"
#include "updater/updater_program.h"
#include "updater/win32/command_words.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  quorin::updater::RunUpdaterProgram(
      quorin::updater::CommandLineWords(), [](const std::string& text) {
        ::MessageBoxW(nullptr, quorin::platform::WideFromUtf8(text).c_str(), L"Usage",
                      MB_OK | MB_ICONERROR);
      });
  return 0;
}
