// QuorinSkin.dll stand-in: the skin control. It offers the skin interface that the client asks
// for, so that start-up finds a skin object, and leaves every window as it is: the client keeps
// the system's own look.
#include <windows.h>

#include <ole2.h>

#include <atomic>
#include <new>
#include <string>

#include "client/app/skin_object.h"
#include "standins/skin/skin_server.h"

namespace quorin::skin {

std::atomic<long> g_liveObjects{0};

HMODULE ThisModule() {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const wchar_t*>(&ThisModule), &self);
  return self;
}

namespace {

using client::ISkinControl;
using client::kSkinControlClassId;
using client::kSkinControlInterfaceId;

// COM objects are deleted by their own Release, never through an interface pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

class SkinControl final : public ISkinControl {
 public:
  SkinControl() { ++g_liveObjects; }
  SkinControl(const SkinControl&) = delete;
  SkinControl& operator=(const SkinControl&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr)
      return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, kSkinControlInterfaceId)) {
      *object = static_cast<ISkinControl*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }

  // No type information: the control is used through its interface only.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr)
      return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr)
      *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE LoadSkin(BSTR path) override {
    skinPath_ = path != nullptr ? std::wstring(path, ::SysStringLen(path)) : std::wstring();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_SkinPath(BSTR* path) override {
    if (path == nullptr)
      return E_POINTER;
    *path = ::SysAllocStringLen(skinPath_.data(), static_cast<UINT>(skinPath_.size()));
    return *path != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override {
    if (enabled == nullptr)
      return E_POINTER;
    *enabled = enabled_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override {
    enabled_ = enabled != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RedrawAll() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveSkin(HWND window) override {
    return ::IsWindow(window) ? S_OK : E_INVALIDARG;
  }
  // The skinning method: accepts any window and changes nothing about it.
  HRESULT STDMETHODCALLTYPE ApplySkin(HWND window) override {
    return ::IsWindow(window) ? S_OK : E_INVALIDARG;
  }

 private:
  ~SkinControl() { --g_liveObjects; }

  std::atomic<ULONG> references_{1};
  std::wstring skinPath_;
  bool enabled_ = true;
};

class SkinFactory final : public IClassFactory {
 public:
  SkinFactory() = default;
  SkinFactory(const SkinFactory&) = delete;
  SkinFactory& operator=(const SkinFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr)
      return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // a static object
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr)
      return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
      return CLASS_E_NOAGGREGATION;
    auto* control = new (std::nothrow) SkinControl();
    if (control == nullptr)
      return E_OUTOFMEMORY;
    const HRESULT result = control->QueryInterface(iid, object);
    control->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_liveObjects;
    } else {
      --g_liveObjects;
    }
    return S_OK;
  }
};

SkinFactory g_factory;

}  // namespace
}  // namespace quorin::skin

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, quorin::client::kSkinControlClassId)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return quorin::skin::g_factory.QueryInterface(iid, object);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
  return quorin::skin::g_liveObjects == 0 ? S_OK : S_FALSE;
}
