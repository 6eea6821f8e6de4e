// The desktop switch of the main window. A client started by a service or before the user's
// logon runs on a window station or desktop that no one sees, where the notification area does
// not take its icon. The switch makes "winsta0" and its desktop "default" the client's own
// while the icon is being added, and gives the former ones back once it was.
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace quorin::client {

struct WindowStationTraits {
  static HWINSTA Invalid() { return nullptr; }
  static void Close(HWINSTA station) { ::CloseWindowStation(station); }
};
struct DesktopTraits {
  static HDESK Invalid() { return nullptr; }
  static void Close(HDESK desktop) { ::CloseDesktop(desktop); }
};

class DesktopSwitch {
 public:
  DesktopSwitch() = default;
  ~DesktopSwitch();
  DesktopSwitch(const DesktopSwitch&) = delete;
  DesktopSwitch& operator=(const DesktopSwitch&) = delete;

  // Remembers the process's window station and the thread's desktop and switches to the
  // interactive ones. True when both were opened (the caller then tries to add the icon each
  // second); false when the former ones could not be read or an open failed. When only the
  // desktop cannot be opened, the process keeps the interactive window station. A switch
  // while one is under way keeps the first remembered pair.
  bool Begin();
  // Gives the remembered window station and desktop back and closes the opened ones.
  void End();
  bool Active() const { return openedDesktop_.get() != nullptr; }

 private:
  HWINSTA savedStation_ = nullptr;  // the system's handles: never closed
  HDESK savedDesktop_ = nullptr;
  platform::UniqueHandle<HWINSTA, WindowStationTraits> openedStation_;
  platform::UniqueHandle<HDESK, DesktopTraits> openedDesktop_;
};

}  // namespace quorin::client
