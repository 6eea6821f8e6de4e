#include "client/app/start_up_steps.h"

#include <array>

#include "client/app/message_dialog.h"
#include "client/app/outside_components.h"
#include "platform/system_text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

struct Search {
  std::wstring property;
  HWND found = nullptr;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  if (::GetPropW(window, search->property.c_str()) == reinterpret_cast<HANDLE>(1)) {
    search->found = window;
    return FALSE;  // the first one counts
  }
  return TRUE;
}

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Account buffers of the library call: 256 bytes, of which the library may fill 255.
constexpr int kAccountBufferBytes = 256;

}  // namespace

HWND FindRunningClient(std::string_view productTitle) {
  Search search{platform::WideFromUtf8(productTitle)};
  if (search.property.empty())
    return nullptr;
  ::EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void MarkClientWindow(HWND window, std::string_view productTitle) {
  ::SetPropW(window, platform::WideFromUtf8(productTitle).c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkClientWindow(HWND window, std::string_view productTitle) {
  ::RemovePropW(window, platform::WideFromUtf8(productTitle).c_str());
}

std::optional<VendorAccount> FetchVendorAccount() {
  const platform::UniqueModule library(::LoadLibraryW(L"K4DDNSUtil.dll"));
  if (!library) {
    ClientMessageBox("不能装载动态链接库\"K4DDNSUtil.dll\"！");
    return std::nullopt;
  }
  if (const auto setMessageBox = LookUp<SetMsgBoxFuncFunction>(library.get(), "SetMsgBoxFunc")) {
    setMessageBox(&LibraryMessageBox);
  }
  const auto getAccount = LookUp<GetDnsAccountFunction>(library.get(), "GetDNSAccount");
  if (getAccount == nullptr) {
    ClientMessageBox("动态链接库\"K4DDNSUtil.dll\"中找不到指定函数！");
    return std::nullopt;
  }
  std::array<char, kAccountBufferBytes> user{};
  std::array<char, kAccountBufferBytes> password{};
  const int found =
      getAccount(user.data(), kAccountBufferBytes - 1, password.data(), kAccountBufferBytes - 1, 0);
  // The library may have filled a buffer to the brim: the last byte stays NUL.
  user.back() = '\0';
  password.back() = '\0';
  if (found == 0)
    return std::nullopt;
  // The library writes the system code page; inside, texts are UTF-8.
  return VendorAccount{platform::Utf8FromSystemText(user.data()),
                       platform::Utf8FromSystemText(password.data())};
}

}  // namespace quorin::client
