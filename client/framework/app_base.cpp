#include "client/framework/app_base.h"

#include <atomic>

#include "client/framework/dialog_base.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

std::atomic<CAppBase*> g_current{nullptr};

}  // namespace

CAppBase::CAppBase() = default;

CAppBase::~CAppBase() {
  CAppBase* self = this;
  g_current.compare_exchange_strong(self, nullptr);
}

CAppBase* CAppBase::Current() {
  return g_current;
}

int CAppBase::Run(std::wstring_view arguments) {
  arguments_ = platform::Utf8FromWide(arguments);
  threadId_ = ::GetCurrentThreadId();
  g_current = this;
  if (InitInstance()) {
    MSG message;
    BOOL got;
    while ((got = ::GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
      if (!PreTranslateMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    }
  }
  const int exitCode = ExitInstance();
  g_current = nullptr;
  return exitCode;
}

bool CAppBase::PreTranslateMessage(MSG& message) {
  const HWND dialog = DialogOfMessage(message);
  return dialog != nullptr && ::IsDialogMessageW(dialog, &message);
}

bool PreTranslateForThread(MSG& message) {
  CAppBase* app = CAppBase::Current();
  if (app != nullptr && app->ThreadId() == ::GetCurrentThreadId()) {
    return app->PreTranslateMessage(message);
  }
  const HWND dialog = DialogOfMessage(message);
  return dialog != nullptr && ::IsDialogMessageW(dialog, &message);
}

}  // namespace quorin::client
