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

// The text in the ANSI code page, as the client reads the library's texts; empty when a
// character has no form there (no best-fit look-alike, no '?').
std::string SystemText(const std::wstring& text) {
  if (text.empty())
    return std::string();
  const int size = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                           0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault)
    return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, narrow.data(), length,
                        nullptr, &usedDefault);
  return usedDefault ? std::string() : narrow;
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
  return SystemText(value);
}

// Copies at most `size` bytes and a NUL into a buffer of size + 1 bytes, never splitting a
// double-byte character of the code page.
void CopyBounded(const std::string& text, char* buffer, int size) {
  std::size_t length = 0;
  while (length < text.size()) {
    const bool pair = length + 1 < text.size() &&
                      ::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[length])) != FALSE;
    const std::size_t next = length + (pair ? 2 : 1);
    if (next > static_cast<std::size_t>(size))
      break;
    length = next;
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
