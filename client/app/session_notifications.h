// Terminal-services session notifications (WM_WTSSESSION_CHANGE) for the main window, through
// WTSAPI32.DLL looked up at run time: systems without it (and Wine builds that lack the entry
// points) simply send none, and the window falls back on the taskbar's restart message.
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace quorin::client {

inline constexpr UINT kSessionChangeMessage = 0x02B1;  // WM_WTSSESSION_CHANGE
inline constexpr WPARAM kSessionLogon = 5;             // WTS_SESSION_LOGON

class SessionNotifications {
 public:
  // Looks the library and both functions up; when anything is missing none is kept.
  SessionNotifications();
  ~SessionNotifications();
  SessionNotifications(const SessionNotifications&) = delete;
  SessionNotifications& operator=(const SessionNotifications&) = delete;

  // Asks for the notifications of every session for `window`; true when registered.
  bool Register(HWND window);
  // Ends the notifications of the registered window, if any.
  void Unregister();

 private:
  using RegisterFunction = BOOL(WINAPI*)(HWND, DWORD);
  using UnregisterFunction = BOOL(WINAPI*)(HWND);

  platform::UniqueModule library_;
  RegisterFunction register_ = nullptr;
  UnregisterFunction unregister_ = nullptr;
  HWND registered_ = nullptr;
};

}  // namespace quorin::client
