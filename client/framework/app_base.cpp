#include "client/framework/app_base.h"

#include <atomic>

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
  loop_.emplace();
  loop_->AddMessageFilter(this);
  g_current = this;
  if (InitInstance())
    loop_->Run();
  const int exitCode = ExitInstance();
  g_current = nullptr;
  loop_.reset();
  return exitCode;
}

bool CAppBase::PreTranslateMessage(MSG&) {
  return false;
}

}  // namespace quorin::client
