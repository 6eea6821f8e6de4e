// Named shared memory and events on Windows: a page-file-backed file mapping and an auto-reset
// event. The mapping is created with a null DACL so that any process of the session may open
// it, whatever account it runs under.
#include <windows.h>

#include "platform/named_signal.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

struct ViewTraits {
  static void* Invalid() { return nullptr; }
  static void Close(void* view) { ::UnmapViewOfFile(view); }
};
using UniqueView = UniqueHandle<void*, ViewTraits>;

class Win32SharedMemoryBlock : public SharedMemoryBlock {
 public:
  Win32SharedMemoryBlock(UniqueKernelHandle created, UniqueKernelHandle opened, UniqueView view,
                         std::size_t size)
      : created_(std::move(created)),
        opened_(std::move(opened)),
        view_(std::move(view)),
        size_(size) {}
  void* data() override { return view_.get(); }
  std::size_t size() const override { return size_; }

 private:
  // Declared in this order so that the view is unmapped before the handles close.
  UniqueKernelHandle created_;
  UniqueKernelHandle opened_;
  UniqueView view_;
  std::size_t size_;
};

class Win32NamedEvent : public NamedEvent {
 public:
  explicit Win32NamedEvent(UniqueKernelHandle event) : event_(std::move(event)) {}
  bool Signal() override { return ::SetEvent(event_.get()) != FALSE; }
  bool Wait(std::chrono::milliseconds timeout) override {
    const auto ms = timeout.count() < 0 ? 0 : timeout.count();
    const DWORD bounded =
        ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    return ::WaitForSingleObject(event_.get(), bounded) == WAIT_OBJECT_0;
  }

 private:
  UniqueKernelHandle event_;
};

}  // namespace

std::unique_ptr<SharedMemoryBlock> OpenSharedMemoryBlock(std::string_view name, std::size_t size,
                                                         NamedOpen mode) {
  if (size == 0)
    return nullptr;
  const std::wstring wideName = WideFromUtf8(name);
  UniqueKernelHandle created;
  if (mode == NamedOpen::CreateOrOpen) {
    // A null DACL: everyone may open the mapping. Not inherited by child processes.
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = FALSE;
    if (::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
      attributes.lpSecurityDescriptor = &descriptor;
    }
    // An existing mapping of the name is returned as it is. A failure here is not final: the
    // open below may still find a mapping that someone else created.
    created.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(size), wideName.c_str()));
  }
  UniqueKernelHandle opened(
      ::OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, wideName.c_str()));
  if (!opened)
    return nullptr;
  UniqueView view(::MapViewOfFile(opened.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size));
  if (!view)
    return nullptr;
  return std::make_unique<Win32SharedMemoryBlock>(std::move(created), std::move(opened),
                                                  std::move(view), size);
}

std::unique_ptr<NamedEvent> OpenNamedEvent(std::string_view name, NamedOpen mode) {
  const std::wstring wideName = WideFromUtf8(name);
  UniqueKernelHandle event(
      mode == NamedOpen::CreateOrOpen
          ? ::CreateEventW(nullptr, FALSE, FALSE, wideName.c_str())  // auto-reset, not signalled
          : ::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, wideName.c_str()));
  if (!event)
    return nullptr;
  return std::make_unique<Win32NamedEvent>(std::move(event));
}

std::uint32_t CurrentSessionNumber() {
  // Looked up at run time: systems without terminal services lack the function.
  using SessionIdFunction = BOOL(WINAPI*)(DWORD, DWORD*);
  UniqueModule kernel(::LoadLibraryW(L"kernel32.dll"));
  if (!kernel)
    return 0;
  const auto function = reinterpret_cast<SessionIdFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel.get(), "ProcessIdToSessionId")));
  DWORD session = 0;
  if (function == nullptr || !function(::GetCurrentProcessId(), &session))
    return 0;
  return session;
}

std::string PathBytesForNames(std::string_view utf8Path) {
  const std::wstring wide = WideFromUtf8(utf8Path);
  if (wide.empty())
    return std::string();
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
  if (bytes <= 0)
    return std::string();
  std::string result(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), result.data(), bytes,
                        nullptr, nullptr);
  return result;
}

}  // namespace quorin::platform
