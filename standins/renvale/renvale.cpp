// Renvale.dll stand-in: the client's auto-update hand-off. When automatic version checks are on
// it starts the updater Brenwick.exe (beside this library) for the client's settings key and
// lets the client go on; it never installs anything itself, so it always answers 0.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "client/app/outside_components.h"

namespace {

std::wstring Wide(const char* text) {
  if (text == nullptr || *text == '\0')
    return std::wstring();
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 1)
    return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// "AutoVersionCheck" under the product's key: on when absent, otherwise on only when it reads
// as the number 1 (the client's own rule for the value).
bool AutoVersionCheck(HKEY root, const std::wstring& keyPath) {
  DWORD type = 0;
  wchar_t text[64] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  const LSTATUS status = ::RegGetValueW(root, keyPath.c_str(), L"AutoVersionCheck",
                                        RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, text, &size);
  if (status == ERROR_FILE_NOT_FOUND)
    return true;
  if (status != ERROR_SUCCESS)
    return false;
  if (type == REG_DWORD) {
    DWORD number = 0;
    std::memcpy(&number, text, sizeof number);
    return number == 1;
  }
  return std::wcstol(text, nullptr, 10) == 1;
}

std::wstring OwnFolder() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<const wchar_t*>(&OwnFolder), &self)) {
    return std::wstring();
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::wstring();
  std::wstring folder(path, length);
  const std::size_t slash = folder.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

}  // namespace

extern "C" int __stdcall DoAutoUpdate(const char* /*text*/, HKEY root, const char* keyPath) {
  const std::wstring path = Wide(keyPath);
  if (root == nullptr || path.empty() || !AutoVersionCheck(root, path))
    return 0;
  const std::wstring folder = OwnFolder();
  if (folder.empty())
    return 0;
  const std::wstring updater = folder + L"\\Brenwick.exe";
  if (::GetFileAttributesW(updater.c_str()) == INVALID_FILE_ATTRIBUTES)
    return 0;
  // The updater takes the root as its number (HKEY_LOCAL_MACHINE is 2147483650) and the path.
  const auto rootNumber =
      static_cast<unsigned long>(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(root)));
  std::wstring commandLine =
      L"\"" + updater + L"\" " + std::to_wstring(rootNumber) + L" \"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(updater.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       DETACHED_PROCESS, nullptr, folder.c_str(), &startup, &info)) {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
  return 0;
}
