#include "client/app/session_notifications.h"

namespace quorin::client {
namespace {

constexpr DWORD kNotifyForAllSessions = 1;

template <typename Function>
Function Lookup(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace

SessionNotifications::SessionNotifications() {
  library_.reset(::LoadLibraryW(L"WTSAPI32.DLL"));
  if (library_.get() == nullptr)
    return;
  register_ = Lookup<RegisterFunction>(library_.get(), "WTSRegisterSessionNotification");
  unregister_ = Lookup<UnregisterFunction>(library_.get(), "WTSUnRegisterSessionNotification");
  if (register_ == nullptr || unregister_ == nullptr) {
    register_ = nullptr;
    unregister_ = nullptr;
    library_.reset();
  }
}

SessionNotifications::~SessionNotifications() {
  Unregister();
}

bool SessionNotifications::Register(HWND window) {
  if (register_ == nullptr || window == nullptr)
    return false;
  if (register_(window, kNotifyForAllSessions) == FALSE)
    return false;
  registered_ = window;
  return true;
}

void SessionNotifications::Unregister() {
  if (registered_ != nullptr && unregister_ != nullptr)
    unregister_(registered_);
  registered_ = nullptr;
}

}  // namespace quorin::client
