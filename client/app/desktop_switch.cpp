#include "client/app/desktop_switch.h"

namespace quorin::client {
namespace {

// The rights the switch asks for: all of a window station's, all of a desktop's.
constexpr ACCESS_MASK kStationAccess = 0x37F;
constexpr ACCESS_MASK kDesktopAccess = 0x1FF;

}  // namespace

DesktopSwitch::~DesktopSwitch() {
  End();
}

bool DesktopSwitch::Begin() {
  if (Active())
    return true;
  if (openedStation_.get() == nullptr) {
    savedStation_ = ::GetProcessWindowStation();
    savedDesktop_ = ::GetThreadDesktop(::GetCurrentThreadId());
    if (savedStation_ == nullptr || savedDesktop_ == nullptr)
      return false;
    openedStation_.reset(::OpenWindowStationW(L"winsta0", FALSE, kStationAccess));
    if (openedStation_.get() == nullptr)
      return false;
    ::SetProcessWindowStation(openedStation_.get());
  }
  openedDesktop_.reset(::OpenDesktopW(L"default", 0, FALSE, kDesktopAccess));
  if (openedDesktop_.get() == nullptr)
    return false;
  // A thread that owns windows cannot change its desktop; the process's new window station
  // still lets the shell take the icon.
  ::SetThreadDesktop(openedDesktop_.get());
  return true;
}

void DesktopSwitch::End() {
  if (openedStation_.get() == nullptr && openedDesktop_.get() == nullptr)
    return;
  if (savedStation_ != nullptr)
    ::SetProcessWindowStation(savedStation_);
  if (savedDesktop_ != nullptr)
    ::SetThreadDesktop(savedDesktop_);
  // The process no longer uses the opened station, so it can be closed.
  openedDesktop_.reset();
  openedStation_.reset();
  savedStation_ = nullptr;
  savedDesktop_ = nullptr;
}

}  // namespace quorin::client
