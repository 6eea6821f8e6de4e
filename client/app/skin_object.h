// The skin control: an in-process COM class of the installation that draws the client's
// windows in the product's skin. The client creates it once (SkinHostDialog) and passes every
// dialog's window to its skinning method.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace quorin::client {

// The control's interface {92AEA298-248E-45DB-97B6-A8C7CD5892E7}.
inline constexpr IID kSkinControlInterfaceId = {
    0x92AEA298, 0x248E, 0x45DB, {0x97, 0xB6, 0xA8, 0xC7, 0xCD, 0x58, 0x92, 0xE7}};

// The class that the installation registers for it.
inline constexpr CLSID kSkinControlClassId = {
    0x5E3A1C07, 0x8B2D, 0x4F6A, {0x9C, 0x41, 0x2D, 0x7E, 0x0B, 0x9F, 0x6A, 0x13}};

// COM interfaces are released through IUnknown and never deleted through a base pointer, so
// they have no virtual destructor by design.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// The methods follow the dispatch methods in this order; the client calls only the seventh,
// ApplySkin.
struct ISkinControl : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE LoadSkin(BSTR path) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SkinPath(BSTR* path) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE RedrawAll() = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveSkin(HWND window) = 0;
  virtual HRESULT STDMETHODCALLTYPE ApplySkin(HWND window) = 0;

 protected:
  ~ISkinControl() = default;  // released through IUnknown, never deleted directly
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace quorin::client
