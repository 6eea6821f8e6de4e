#include "platform/win32/registry_store.h"

#include <windows.h>

#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// Registry texts longer than this are not settings of ours; reading them is refused rather
// than allocating without bound.
constexpr DWORD kMaxValueBytes = 64 * 1024;

HKEY RootHandle(RootKey root) {
  // The predefined root handles are these numbers, sign-extended on 64-bit Windows.
  return reinterpret_cast<HKEY>(
      static_cast<ULONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(root))));
}

UniqueRegistryKey OpenKey(RootKey root, std::string_view keyPath, REGSAM access) {
  UniqueRegistryKey key;
  if (::RegOpenKeyExW(RootHandle(root), WideFromUtf8(keyPath).c_str(), 0, access, key.put()) !=
      ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

UniqueRegistryKey CreateKeyForWriting(RootKey root, std::string_view keyPath) {
  UniqueRegistryKey key;
  if (::RegCreateKeyExW(RootHandle(root), WideFromUtf8(keyPath).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

}  // namespace

std::optional<std::string> RegistryStore::Read(RootKey root, std::string_view keyPath,
                                               std::string_view name) {
  const UniqueRegistryKey key = OpenKey(root, keyPath, KEY_READ);
  if (!key) return std::nullopt;
  const std::wstring wideName = WideFromUtf8(name);
  DWORD type = 0;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || bytes > kMaxValueBytes) {
    return std::nullopt;
  }
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = bytes;
  if (::RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The stored text may or may not carry its terminating zero; stop at the first one.
  std::wstring_view text(data.data(), size / sizeof(wchar_t));
  text = text.substr(0, text.find(L'\0'));
  return Utf8FromWide(text);
}

bool RegistryStore::Write(RootKey root, std::string_view keyPath, std::string_view name,
                          std::string_view text) {
  const UniqueRegistryKey key = CreateKeyForWriting(root, keyPath);
  if (!key) return false;
  const std::wstring wideText = WideFromUtf8(text);
  const DWORD bytes = static_cast<DWORD>((wideText.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.get(), WideFromUtf8(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wideText.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool RegistryStore::Remove(RootKey root, std::string_view keyPath, std::string_view name) {
  const UniqueRegistryKey key = OpenKey(root, keyPath, KEY_SET_VALUE);
  if (!key) return !KeyExists(root, keyPath);
  const LONG status = ::RegDeleteValueW(key.get(), WideFromUtf8(name).c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool RegistryStore::CreateKey(RootKey root, std::string_view keyPath) {
  return static_cast<bool>(CreateKeyForWriting(root, keyPath));
}

bool RegistryStore::KeyExists(RootKey root, std::string_view keyPath) {
  return static_cast<bool>(OpenKey(root, keyPath, KEY_READ));
}

SettingsStore& SystemSettingsStore() {
  static RegistryStore store;
  return store;
}

}  // namespace quorin::platform
