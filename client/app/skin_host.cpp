#include "client/app/skin_host.h"

#include <atomic>

#include "resources/resource.h"

namespace quorin::client {
namespace {

// Written on the user-interface thread only; read by ApplySkinTo from any thread.
std::atomic<ISkinControl*> g_skin{nullptr};
std::atomic<DWORD> g_skinThread{0};

}  // namespace

SkinHostDialog::SkinHostDialog() : CDialogBase(IDD_SKIN_HOST) {}

bool SkinHostDialog::OnInitDialog() {
  CDialogBase::OnInitDialog();
  ReleaseSkinObject();
  void* object = nullptr;
  if (SUCCEEDED(::CoCreateInstance(kSkinControlClassId, nullptr, CLSCTX_INPROC_SERVER,
                                   kSkinControlInterfaceId, &object)) &&
      object != nullptr) {
    g_skinThread = ::GetCurrentThreadId();
    g_skin = static_cast<ISkinControl*>(object);
  }
  return false;
}

ISkinControl* SkinObject() {
  return g_skin;
}

void ReleaseSkinObject() {
  if (ISkinControl* skin = g_skin.exchange(nullptr))
    skin->Release();
}

void ApplySkinTo(HWND window) {
  ISkinControl* skin = g_skin;
  if (skin != nullptr && g_skinThread == ::GetCurrentThreadId())
    skin->ApplySkin(window);
}

}  // namespace quorin::client
