// The skin control's registration for the current user, under
// HKEY_CURRENT_USER\Software\Classes, so that no administrator is needed to install it:
//   CLSID\{class}                  "QuorinFree skin control"
//   CLSID\{class}\InprocServer32   this library's path, ThreadingModel "Apartment"
//   CLSID\{class}\ProgID           "QuorinFree.SkinControl"
//   QuorinFree.SkinControl\CLSID   {class}
//   Interface\{92AEA298-...}       "ISkinControl", NumMethods 14
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <string>

#include "client/app/skin_object.h"
#include "standins/skin/skin_server.h"

namespace {

constexpr const wchar_t* kClasses = L"Software\\Classes\\";
constexpr const wchar_t* kProgId = L"QuorinFree.SkinControl";

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

bool SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  const std::wstring path = kClasses + key;
  return ::RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

void DeleteTree(const std::wstring& key) {
  const std::wstring path = kClasses + key;
  ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

std::wstring ClassKey() {
  return L"CLSID\\" + GuidText(quorin::client::kSkinControlClassId);
}
std::wstring InterfaceKey() {
  return L"Interface\\" + GuidText(quorin::client::kSkinControlInterfaceId);
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(quorin::skin::ThisModule(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return SELFREG_E_CLASS;
  const std::wstring classKey = ClassKey();
  const bool ok = SetText(classKey, nullptr, L"QuorinFree skin control") &&
                  SetText(classKey + L"\\InprocServer32", nullptr, std::wstring(path, length)) &&
                  SetText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                  SetText(classKey + L"\\ProgID", nullptr, kProgId) &&
                  SetText(std::wstring(kProgId) + L"\\CLSID", nullptr,
                          GuidText(quorin::client::kSkinControlClassId)) &&
                  SetText(InterfaceKey(), nullptr, L"ISkinControl") &&
                  SetText(InterfaceKey() + L"\\NumMethods", nullptr, L"14");
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  DeleteTree(ClassKey());
  DeleteTree(kProgId);
  DeleteTree(InterfaceKey());
  return S_OK;
}
