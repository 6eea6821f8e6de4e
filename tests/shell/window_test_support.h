// Helpers of the window tests: finding windows, reading them, waiting for them, screenshots.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quorin::shelltest {

// An environment variable of the test run (set by run-shell-test.sh); empty when missing.
std::wstring Environment(const wchar_t* name);

// Polls `done` every 50 ms until it holds or `limit` has passed; true when it held.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(60));

// The visible top-level windows of a process (or of a thread), in Z order.
std::vector<HWND> VisibleWindowsOfProcess(DWORD processId);
std::vector<HWND> VisibleWindowsOfThread(DWORD threadId);

// Every top-level window of a process, hidden ones included, in Z order.
std::vector<HWND> WindowsOfProcess(DWORD processId);
// The first visible (or, with `includeHidden`, any) top-level window of the process that has a
// control of every given id.
HWND FindWindowWithControls(DWORD processId, const std::vector<int>& controlIds,
                            bool includeHidden = false);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int controlId);
bool ControlVisible(HWND dialog, int controlId);
// The texts of all child windows (for the system's message box, whose controls have no fixed
// ids).
std::vector<std::wstring> ChildTexts(HWND window);

// Clicks a dialog's button the way the dialog manager reports a click.
void PostButtonClick(HWND dialog, int controlId);

// Asks the test runner for a screenshot of the whole display, saved as artifacts/NAME.png.
// False when no runner answered within the time limit.
bool TakeScreenshot(const std::wstring& name);

// Narrow and wide texts.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace quorin::shelltest
