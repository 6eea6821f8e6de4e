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

// The layout of a dialog (or any window with controls) of this process or another, measured
// as a person would see it. A fault is one of: a visible static, button, check box or group
// box whose text does not fit its client area in the control's font (multi-line statics
// measured wrapped, a check box's box and a button's edges allowed for; statics that end in an
// ellipsis on purpose are left out); two visible controls that overlap (a group box may hold
// controls); a visible control that reaches outside the window's client area. One line per
// fault naming the control by its identifier and text; empty when the layout is sound.
std::vector<std::string> LayoutFaults(HWND window);

// The font the dialog manager makes at `dpi` from the font line of the resource library's
// templates (file `library`, in the language this thread's user interface asks for, as the
// client's does); a zero height when the library or its template cannot be read. LayoutFaults
// measures another process's dialogs with it (from the uires.dll beside that program), since
// a font handle does not cross processes.
LOGFONTW LibraryDialogFont(const std::wstring& library, UINT dpi);

// Narrow and wide texts.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace quorin::shelltest
