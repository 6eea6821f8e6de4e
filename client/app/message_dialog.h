// ClientMessageBox: the one dialog through which every message of the client reaches the user
// (template 154). It shows one or two buttons and an optional check box, and closes itself as
// if OK had been pressed when its countdown of 15 steps has run out, so that an unattended
// client never stays blocked on a message.
#pragma once

#include <windows.h>

#include <chrono>
#include <string_view>

namespace quorin::client {

// Button kinds.
inline constexpr int kMessageOk = 0;        // one button, OK (also every unknown kind)
inline constexpr int kMessageOkCancel = 1;  // OK and Cancel
inline constexpr int kMessageYesNo = 4;     // Yes and No

inline constexpr int kMessageCountdownStart = 15;

// Shows the dialog modally on the calling thread (any thread) and returns IDOK, IDCANCEL, or
// -1 when it could not be shown. After IDOK the check box's final state is the process's
// MessageBoxCheckValue(). The text and the check-box text are cut to 255 bytes.
int ClientMessageBox(std::string_view text, int kind = kMessageOk, bool withCheckBox = false,
                     std::string_view checkText = {}, int checkState = 0, HWND parent = nullptr);

// The check box's state after the last message answered with OK (1 checked, 0 not).
int MessageBoxCheckValue();

// The length of one countdown step: one second. Tests shorten it.
void SetMessageBoxTickPeriod(std::chrono::milliseconds period);

// The same dialog behind the message-box entry point handed to K4DDNSUtil.dll.
int __stdcall LibraryMessageBox(const char* text, int kind, int withCheckBox, const char* checkText,
                                int checkState, HWND parent);

}  // namespace quorin::client
