#include <windows.h>

#include <objbase.h>
#include <urlmon.h>

#include <memory>
#include <string>

#include "platform/html_dialog.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

using ShowHtmlDialogFunction = HRESULT(WINAPI*)(HWND, IMoniker*, VARIANT*, wchar_t*, VARIANT*);
using CreateUrlMonikerFunction = HRESULT(WINAPI*)(IMoniker*, const wchar_t*, IMoniker**);

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  // GetProcAddress hands back a generic function pointer; the entry point's real type is
  // fixed by the library's documentation.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// COM for the calling thread, when it has none yet; a thread already in another apartment
// keeps it.
class ComScope {
 public:
  ComScope() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (initialised_)
      ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialised_;
};

struct MonikerRelease {
  void operator()(IMoniker* moniker) const { moniker->Release(); }
};

}  // namespace

int ShowHtmlPage(std::string_view url) {
  if (url.empty())
    return 0;
  const UniqueModule engine(::LoadLibraryW(L"MSHTML.DLL"));
  if (!engine)
    return 0;
  const auto showDialog = LookUp<ShowHtmlDialogFunction>(engine.get(), "ShowHTMLDialog");
  if (showDialog == nullptr)
    return 0;
  const UniqueModule monikers(::LoadLibraryW(L"URLMON.DLL"));
  if (!monikers)
    return 0;
  const auto createMoniker = LookUp<CreateUrlMonikerFunction>(monikers.get(), "CreateURLMoniker");
  if (createMoniker == nullptr)
    return 0;

  const ComScope com;
  const std::wstring address = WideFromUtf8(url);
  IMoniker* raw = nullptr;
  if (FAILED(createMoniker(nullptr, address.c_str(), &raw)) || raw == nullptr)
    return 0;
  const std::unique_ptr<IMoniker, MonikerRelease> moniker(raw);
  return SUCCEEDED(showDialog(nullptr, moniker.get(), nullptr, nullptr, nullptr)) ? 1 : 0;
}

}  // namespace quorin::platform
