#include "service/service_handover.h"

#include <windows.h>

#include <sddl.h>

#include "client/local/service_settings.h"
#include "client/local/settings.h"
#include "platform/settings_store.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::standins {
namespace {

using platform::RootKey;
using platform::UniqueFileHandle;
using platform::UniqueRegistryKey;

constexpr const wchar_t* kProfileFile = L"userprofie.dat";
// No account file of the client is larger; a larger one is not the client's.
constexpr DWORD kMaxProfileBytes = 64 * 1024;
// The service's copy of the account: the system and administrators, nobody else. Protected, so
// that the folder's own entries (users may read the program folder) are not inherited.
constexpr const wchar_t* kProtectedFileDescriptor = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

std::string Narrow(const std::wstring& text) {
  return platform::Utf8FromWide(text);
}

// The bytes of the account file at `path`, read only when the file is what its name says: a
// file of its own at that very place. A folder of the user's that is a link to another place
// (another user's folder, say) would otherwise hand that place's file to the service.
std::optional<std::string> ReadAccountFile(const std::wstring& path, std::string& problem) {
  const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    problem = ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND
                  ? std::string()
                  : "cannot be read (error " + std::to_string(::GetLastError()) + ")";
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  wchar_t finalPath[MAX_PATH * 2] = {};
  const DWORD length =
      ::GetFinalPathNameByHandleW(file.get(), finalPath, MAX_PATH * 2, FILE_NAME_NORMALIZED);
  std::wstring reached(finalPath, length < MAX_PATH * 2 ? length : 0);
  if (reached.rfind(L"\\\\?\\", 0) == 0)
    reached.erase(0, 4);
  wchar_t fullPath[MAX_PATH * 2] = {};
  const DWORD fullLength = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, fullPath, nullptr);
  const std::wstring expected(fullPath, fullLength < MAX_PATH * 2 ? fullLength : 0);
  if (!::GetFileInformationByHandle(file.get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      information.nNumberOfLinks != 1 || information.nFileSizeHigh != 0 ||
      information.nFileSizeLow > kMaxProfileBytes || reached.empty() ||
      ::CompareStringOrdinal(reached.c_str(), -1, expected.c_str(), -1, TRUE) != CSTR_EQUAL) {
    problem = "is not a plain file at its own place";
    return std::nullopt;
  }
  std::string bytes(information.nFileSizeLow, '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    problem = "cannot be read (error " + std::to_string(::GetLastError()) + ")";
    return std::nullopt;
  }
  return bytes;
}

// Replaces `target` by `bytes` in a file that only the system and administrators may open:
// written to a temporary file created with that access list, then renamed over the target (a
// rename keeps the file's own access list).
bool WriteProtectedFile(const std::wstring& target, const std::string& bytes) {
  platform::UniqueSecurityDescriptor descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kProtectedFileDescriptor, SDDL_REVISION_1, descriptor.put(), nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  const std::wstring temporary = target + L".new" + std::to_wstring(::GetCurrentProcessId());
  {
    const UniqueFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, &attributes,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      return false;
    DWORD written = 0;
    if ((!bytes.empty() && (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &written, nullptr) ||
                            written != bytes.size())) ||
        !::FlushFileBuffers(file.get())) {
      ::DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

void HandOverAccount(const std::optional<RegisteringUser>& user, const std::wstring& programFolder,
                     std::vector<std::string>& report) {
  const std::wstring target = programFolder + kProfileFile;
  std::string problem;
  if (user) {
    std::wstring folder = programFolder;
    if (!folder.empty() && folder.back() == L'\\')
      folder.pop_back();
    const std::wstring virtualFolder = VirtualStoreFolder(user->localAppData, folder);
    if (!virtualFolder.empty()) {
      const std::wstring source = virtualFolder + L"\\" + kProfileFile;
      if (const auto bytes = ReadAccountFile(source, problem)) {
        report.push_back(WriteProtectedFile(target, *bytes)
                             ? "handed over the account file of the user's own folder " +
                                   Narrow(source)
                             : "the account file cannot be written to " + Narrow(target));
        return;
      }
      if (!problem.empty()) {
        // A file that is there but cannot be trusted is not replaced by another one.
        report.push_back("not taken: " + Narrow(source) + " " + problem);
        return;
      }
    }
  }
  // No copy of the user's own: the client wrote beside the program itself (it ran with
  // administrator rights, or the folder is not protected). That file becomes the service's.
  if (const auto bytes = ReadAccountFile(target, problem)) {
    report.push_back(WriteProtectedFile(target, *bytes)
                         ? "kept the account file beside the program for the service only"
                         : "the account file beside the program cannot be protected");
    return;
  }
  report.push_back(problem.empty() ? "no account file to hand over"
                                   : "not taken: " + Narrow(target) + " " + problem);
}

// The string values of the first of `paths` (under HKEY_USERS) that exists.
std::vector<std::pair<std::string, std::string>> ValuesOfFirstKey(
    const std::vector<std::string>& paths) {
  std::vector<std::pair<std::string, std::string>> values;
  for (const std::string& path : paths) {
    UniqueRegistryKey key;
    if (::RegOpenKeyExW(HKEY_USERS, platform::WideFromUtf8(path).c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS)
      continue;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256] = {};
      DWORD nameLength = 256;
      wchar_t data[256] = {};
      DWORD dataBytes = sizeof data - sizeof(wchar_t);
      DWORD type = 0;
      const LONG status = ::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
      if (status == ERROR_NO_MORE_ITEMS)
        break;
      // A longer value is no setting of the client's (their texts stay below 256 bytes).
      if (status != ERROR_SUCCESS || type != REG_SZ)
        continue;
      const std::wstring text(data, dataBytes / sizeof(wchar_t));
      values.emplace_back(Narrow(std::wstring(name, nameLength)),
                          Narrow(text.substr(0, text.find(L'\0'))));
    }
    return values;
  }
  return values;
}

void HandOverPreferences(const RegisteringUser& user, std::vector<std::string>& report) {
  const std::string machineKey(client::kSettingsKey);
  platform::SettingsStore& store = platform::SystemSettingsStore();
  int taken = 0;
  for (const auto& [name, text] : ValuesOfFirstKey(VirtualStoreKeyPaths(user.sid, machineKey))) {
    switch (client::ClassifyServiceSetting(name)) {
      case client::ServiceSettingKind::kPreference:
        if (client::IsPreferenceText(name, text) &&
            store.Write(RootKey::LocalMachine, machineKey, name, text))
          ++taken;
        break;
      case client::ServiceSettingKind::kDestination:
        if (store.Read(RootKey::LocalMachine, machineKey, name) != text)
          report.push_back("not taken from the user's own settings: " + name +
                           " (servers are set only in the machine's settings key)");
        break;
      case client::ServiceSettingKind::kOther:
        break;
    }
  }
  report.push_back("took " + std::to_string(taken) + " preferences of the user's own settings");
}

}  // namespace

std::vector<std::string> HandOverToService(const std::optional<RegisteringUser>& user,
                                           const std::wstring& programFolder) {
  std::vector<std::string> report;
  platform::SettingsStore& store = platform::SystemSettingsStore();
  if (user) {
    store.Write(RootKey::LocalMachine, kServiceParametersKey, kRegisteredByValue, user->sid);
    report.push_back("registered for the user " + user->sid);
  } else {
    store.Remove(RootKey::LocalMachine, kServiceParametersKey, kRegisteredByValue);
    report.push_back(
        "the user logged on in this session is unknown: only the machine's own "
        "settings are used");
  }
  HandOverAccount(user, programFolder, report);
  if (user)
    HandOverPreferences(*user, report);
  return report;
}

std::optional<std::string> RecordedRegisteringUser() {
  auto sid = platform::SystemSettingsStore().Read(RootKey::LocalMachine, kServiceParametersKey,
                                                  kRegisteredByValue);
  if (!sid || !IsSidText(*sid))
    return std::nullopt;
  return sid;
}

}  // namespace quorin::standins
