#include "service/registering_user.h"

#include <windows.h>

#include <sddl.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <algorithm>
#include <memory>

#include "platform/settings_store.h"
#include "platform/win32/wide_text.h"

namespace quorin::standins {
namespace {

struct WtsFree {
  void operator()(wchar_t* text) const { ::WTSFreeMemory(text); }
};
struct LocalFreeText {
  void operator()(wchar_t* text) const { ::LocalFree(text); }
};
struct TaskMemFree {
  void operator()(wchar_t* text) const { ::CoTaskMemFree(text); }
};

std::wstring SessionText(WTS_INFO_CLASS what) {
  wchar_t* raw = nullptr;
  DWORD bytes = 0;
  if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &raw,
                                     &bytes) ||
      raw == nullptr)
    return std::wstring();
  const std::unique_ptr<wchar_t, WtsFree> text(raw);
  return std::wstring(text.get());
}

std::optional<std::string> SidOfAccount(const std::wstring& account) {
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD sidSize = sizeof sid;
  wchar_t domain[256] = {};
  DWORD domainSize = 256;
  SID_NAME_USE use{};
  if (!::LookupAccountNameW(nullptr, account.c_str(), sid, &sidSize, domain, &domainSize, &use))
    return std::nullopt;
  wchar_t* raw = nullptr;
  if (!::ConvertSidToStringSidW(sid, &raw) || raw == nullptr)
    return std::nullopt;
  const std::unique_ptr<wchar_t, LocalFreeText> text(raw);
  return platform::Utf8FromWide(text.get());
}

// The SID of this process's own user, to tell whether the registration runs as the user it
// registers for (an administrator approving their own prompt).
std::optional<std::string> OwnSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return std::nullopt;
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD size = 0;
  const BOOL ok = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  ::CloseHandle(token);
  if (!ok)
    return std::nullopt;
  wchar_t* raw = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &raw) ||
      raw == nullptr)
    return std::nullopt;
  const std::unique_ptr<wchar_t, LocalFreeText> text(raw);
  return platform::Utf8FromWide(text.get());
}

std::wstring OwnLocalAppData() {
  wchar_t* raw = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &raw)) || raw == nullptr)
    return std::wstring();
  const std::unique_ptr<wchar_t, TaskMemFree> path(raw);
  return std::wstring(path.get());
}

std::wstring Expanded(const std::wstring& text) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), buffer, MAX_PATH * 2);
  return length > 0 && length <= MAX_PATH * 2 ? std::wstring(buffer) : std::wstring();
}

// Another user's "%LOCALAPPDATA%": the folder named in that user's own hive, with their profile
// folder for %USERPROFILE%, else the usual place inside the profile folder.
std::wstring LocalAppDataOf(const std::string& sid) {
  platform::SettingsStore& store = platform::SystemSettingsStore();
  const auto profile = store.Read(
      platform::RootKey::LocalMachine,
      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid, "ProfileImagePath");
  if (!profile)
    return std::wstring();
  const std::wstring profileFolder = Expanded(platform::WideFromUtf8(*profile));
  if (profileFolder.empty())
    return std::wstring();
  const auto named = store.Read(
      platform::RootKey::Users,
      sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
      "Local AppData");
  if (named) {
    std::wstring folder = platform::WideFromUtf8(*named);
    const std::wstring variable = L"%USERPROFILE%";
    if (folder.size() >= variable.size() &&
        ::CompareStringOrdinal(folder.c_str(), static_cast<int>(variable.size()), variable.c_str(),
                               static_cast<int>(variable.size()), TRUE) == CSTR_EQUAL) {
      folder.replace(0, variable.size(), profileFolder);
    }
    folder = Expanded(folder);
    if (!folder.empty())
      return folder;
  }
  return profileFolder + L"\\AppData\\Local";
}

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

bool IsSidText(const std::string& text) {
  return text.size() > 4 && text.size() < 200 && text.compare(0, 4, "S-1-") == 0 &&
         std::all_of(text.begin() + 4, text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

std::optional<RegisteringUser> FindRegisteringUser() {
  const std::wstring user = SessionText(WTSUserName);
  if (user.empty())
    return std::nullopt;
  const std::wstring domain = SessionText(WTSDomainName);
  std::optional<std::string> sid = SidOfAccount(domain.empty() ? user : domain + L"\\" + user);
  if (!sid && !domain.empty())
    sid = SidOfAccount(user);
  if (!sid || !IsSidText(*sid))
    return std::nullopt;
  RegisteringUser found{*sid, std::wstring()};
  found.localAppData = OwnSid() == found.sid ? OwnLocalAppData() : LocalAppDataOf(found.sid);
  return found;
}

std::vector<std::string> VirtualStoreKeyPaths(const std::string& sid,
                                              const std::string& machineKeyPath) {
  // A 32-bit program on 64-bit Windows writes HKLM\SOFTWARE through WOW6432Node, and its
  // virtualised copy keeps that part of the path.
  std::string path = machineKeyPath;
  const std::string software = "SOFTWARE\\";
  if (RunsUnderWow64() && path.size() > software.size() &&
      ::CompareStringOrdinal(platform::WideFromUtf8(path.substr(0, software.size())).c_str(), -1,
                             L"SOFTWARE\\", -1, TRUE) == CSTR_EQUAL) {
    path.insert(software.size(), "WOW6432Node\\");
  }
  const std::string store = "VirtualStore\\MACHINE\\" + path;
  return {sid + "_Classes\\" + store, sid + "\\Software\\Classes\\" + store};
}

std::wstring VirtualStoreFolder(const std::wstring& localAppData, const std::wstring& folder) {
  if (localAppData.empty() || folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\')
    return std::wstring();
  std::wstring rest = folder.substr(3);
  while (!rest.empty() && rest.back() == L'\\')
    rest.pop_back();
  return localAppData + L"\\VirtualStore" + (rest.empty() ? L"" : L"\\" + rest);
}

}  // namespace quorin::standins
