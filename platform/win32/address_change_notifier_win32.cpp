// Address changes on Windows. Where iphlpapi.dll has them (Vista and later), three
// registrations: unicast address changes, interface changes (a connection coming up or going
// down) and route changes (a new default route), each with a callback that only sets the
// signal; CancelMibChangeNotify2 ends them and waits for a callback in progress. Elsewhere
// NotifyAddrChange with an event, waited on by a thread of its own that a stop event ends.
// The order matters: winsock2.h before windows.h, and both before the IP Helper headers.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <system_error>
#include <thread>
#include <vector>

#include "platform/win32/address_change_notifier_win32.h"
#include "platform/win32/unique_handle.h"

namespace quorin::platform {
namespace {

// The three Notify...Change functions share one shape; the callback's row pointer and
// notification type are not needed, so they are taken as a plain pointer and an integer.
using ChangeCallback = void(WINAPI*)(void* context, void* row, int notificationType);
using NotifyChangeFn = DWORD(WINAPI*)(USHORT family, ChangeCallback callback, void* context,
                                      BOOLEAN initialNotification, HANDLE* handle);
using CancelChangeFn = DWORD(WINAPI*)(HANDLE handle);

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  // GetProcAddress hands back a generic function pointer; the cast names its real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

void WINAPI OnChange(void* context, void*, int) {
  static_cast<ChangeSignal*>(context)->Set();
}

class IpHelperNotifier : public AddressChangeNotifier {
 public:
  IpHelperNotifier(UniqueModule library, CancelChangeFn cancel)
      : library_(std::move(library)), cancel_(cancel) {}

  ~IpHelperNotifier() override {
    // Each cancel returns once no callback of its registration runs any more; only then may
    // the signal go.
    for (HANDLE handle : registrations_) {
      if (handle != nullptr)
        cancel_(handle);
    }
  }

  // True when the system took the registration.
  bool Register(NotifyChangeFn notify) {
    HANDLE handle = nullptr;
    if (notify(AF_INET, OnChange, &signal_, FALSE, &handle) != NO_ERROR)
      return false;
    registrations_.push_back(handle);
    return true;
  }

  ChangeSignal& Changes() override { return signal_; }

 private:
  UniqueModule library_;  // holds the functions in place until the registrations are gone
  CancelChangeFn cancel_;
  ChangeSignal signal_;
  std::vector<HANDLE> registrations_;
};

class AddrChangeNotifier : public AddressChangeNotifier {
 public:
  AddrChangeNotifier(UniqueKernelHandle changed, UniqueKernelHandle stop)
      : changed_(std::move(changed)), stop_(std::move(stop)), thread_([this] { Run(); }) {}

  ~AddrChangeNotifier() override {
    ::SetEvent(stop_.get());
    thread_.join();
  }

  ChangeSignal& Changes() override { return signal_; }

 private:
  // A cancelled request completes quickly; the bound only keeps a broken system from holding
  // the monitor's end for ever.
  static constexpr DWORD kCancelWaitMs = 5000;

  void Run() {
    // The request is made, waited on and cancelled on this thread, so it never outlives the
    // OVERLAPPED below.
    OVERLAPPED overlapped{};
    overlapped.hEvent = changed_.get();
    HANDLE handle = nullptr;
    if (::NotifyAddrChange(&handle, &overlapped) != ERROR_IO_PENDING)
      return;  // the monitor keeps its minute rhythm
    const HANDLE events[2] = {stop_.get(), changed_.get()};
    while (::WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      signal_.Set();
      if (::NotifyAddrChange(&handle, &overlapped) != ERROR_IO_PENDING)
        return;
    }
    if (::CancelIPChangeNotify(&overlapped))
      ::WaitForSingleObject(changed_.get(), kCancelWaitMs);
  }

  UniqueKernelHandle changed_;  // auto-reset: set when the pending request completes
  UniqueKernelHandle stop_;     // manual-reset: set when the notifier goes
  ChangeSignal signal_;
  std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace

std::unique_ptr<AddressChangeNotifier> OpenIpHelperNotifier() {
  UniqueModule library(::LoadLibraryW(L"iphlpapi.dll"));
  if (!library)
    return nullptr;
  const auto cancel = Lookup<CancelChangeFn>(library.get(), "CancelMibChangeNotify2");
  const auto addresses = Lookup<NotifyChangeFn>(library.get(), "NotifyUnicastIpAddressChange");
  if (cancel == nullptr || addresses == nullptr)
    return nullptr;
  const auto interfaces = Lookup<NotifyChangeFn>(library.get(), "NotifyIpInterfaceChange");
  const auto routes = Lookup<NotifyChangeFn>(library.get(), "NotifyRouteChange2");
  auto notifier = std::make_unique<IpHelperNotifier>(std::move(library), cancel);
  // The address registration is the one that matters; the other two only add the moments
  // when a connection or its default route changes.
  if (!notifier->Register(addresses))
    return nullptr;
  if (interfaces != nullptr)
    notifier->Register(interfaces);
  if (routes != nullptr)
    notifier->Register(routes);
  return notifier;
}

std::unique_ptr<AddressChangeNotifier> OpenAddrChangeNotifier() {
  UniqueKernelHandle changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  UniqueKernelHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!changed || !stop)
    return nullptr;
  try {
    return std::make_unique<AddrChangeNotifier>(std::move(changed), std::move(stop));
  } catch (const std::system_error&) {
    return nullptr;  // no thread could start
  }
}

std::unique_ptr<AddressChangeNotifier> OpenAddressChangeNotifier() {
  if (auto notifier = OpenIpHelperNotifier())
    return notifier;
  return OpenAddrChangeNotifier();
}

}  // namespace quorin::platform
