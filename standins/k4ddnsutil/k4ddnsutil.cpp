// K4DDNSUtil.dll stand-in: the account utility of the vendor build. It hands out the preset
// account written in K4DDNSUtil.ini beside it and reports through the message function the
// client gave it.
#include <windows.h>

#include <atomic>
#include <string>

#include "client/app/outside_components.h"

extern "C" {
__declspec(dllexport) void __stdcall SetMsgBoxFunc(MessageBoxFunction function);
__declspec(dllexport) int __stdcall GetDNSAccount(char* user, int userSize, char* password,
                                                  int passwordSize, int reserved);
}

namespace {

std::atomic<MessageBoxFunction> g_messageBox{nullptr};

std::string Utf8(const std::wstring& text) {
  if (text.empty())
    return std::string();
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::wstring IniFile() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<const wchar_t*>(&IniFile), &self)) {
    return std::wstring();
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::wstring();
  std::wstring file(path, length);
  const std::size_t slash = file.rfind(L'\\');
  if (slash == std::wstring::npos)
    return std::wstring();
  return file.substr(0, slash + 1) + L"K4DDNSUtil.ini";
}

std::string ReadAccountValue(const std::wstring& ini, const wchar_t* name) {
  wchar_t value[512] = {};
  ::GetPrivateProfileStringW(L"Account", name, L"", value, 512, ini.c_str());
  return Utf8(value);
}

// Copies at most `size` bytes and a NUL into a buffer of size + 1 bytes, never splitting a
// UTF-8 character.
void CopyBounded(const std::string& text, char* buffer, int size) {
  std::size_t length = text.size();
  if (length > static_cast<std::size_t>(size)) {
    length = static_cast<std::size_t>(size);
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
      --length;
  }
  text.copy(buffer, length);
  buffer[length] = '\0';
}

void Report(const char* message) {
  if (const MessageBoxFunction show = g_messageBox)
    show(message, 0, 0, "", 0, nullptr);
}

}  // namespace

extern "C" __declspec(dllexport) void __stdcall SetMsgBoxFunc(MessageBoxFunction function) {
  g_messageBox = function;
}

extern "C" __declspec(dllexport) int __stdcall GetDNSAccount(char* user, int userSize,
                                                             char* password, int passwordSize,
                                                             int /*reserved*/) {
  if (user == nullptr || password == nullptr || userSize <= 0 || passwordSize <= 0)
    return 0;
  user[0] = '\0';
  password[0] = '\0';
  const std::wstring ini = IniFile();
  const std::string presetUser = ini.empty() ? std::string() : ReadAccountValue(ini, L"User");
  if (presetUser.empty()) {
    Report("No preset account was found (K4DDNSUtil.ini, section [Account], key User).");
    return 0;
  }
  CopyBounded(presetUser, user, userSize);
  CopyBounded(ReadAccountValue(ini, L"Password"), password, passwordSize);
  return 1;
}
