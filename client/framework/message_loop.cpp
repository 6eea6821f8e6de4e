#include "client/framework/message_loop.h"

#include <algorithm>
#include <string_view>

namespace quorin::client {
namespace {

thread_local CMessageLoop* t_loop = nullptr;

template <typename Item>
void AddOnce(std::vector<Item*>& items, Item* item) {
  if (item != nullptr && std::find(items.begin(), items.end(), item) == items.end())
    items.push_back(item);
}

template <typename Item>
void Remove(std::vector<Item*>& items, Item* item) {
  items.erase(std::remove(items.begin(), items.end(), item), items.end());
}

}  // namespace

CMessageLoop::CMessageLoop() : former_(t_loop) {
  t_loop = this;
}

CMessageLoop::~CMessageLoop() {
  if (t_loop == this)
    t_loop = former_;
}

CMessageLoop* CMessageLoop::ForThisThread() {
  return t_loop;
}

void CMessageLoop::AddMessageFilter(MessageFilter* filter) {
  AddOnce(filters_, filter);
}

void CMessageLoop::RemoveMessageFilter(MessageFilter* filter) {
  Remove(filters_, filter);
}

void CMessageLoop::AddIdleHandler(IdleHandler* handler) {
  AddOnce(idleHandlers_, handler);
}

void CMessageLoop::RemoveIdleHandler(IdleHandler* handler) {
  Remove(idleHandlers_, handler);
}

bool CMessageLoop::PreTranslateMessage(MSG& message) {
  // A copy: a filter may add or remove filters (a dialog it opens, its own end).
  const std::vector<MessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if (std::find(filters_.begin(), filters_.end(), *it) == filters_.end())
      continue;  // removed by an earlier filter of this round
    if ((*it)->PreTranslateMessage(message))
      return true;
  }
  return false;
}

bool CMessageLoop::RunIdleHandlers() {
  const std::vector<IdleHandler*> handlers = idleHandlers_;
  bool more = false;
  for (IdleHandler* handler : handlers) {
    if (std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) == idleHandlers_.end())
      continue;
    more = handler->OnIdle() || more;
  }
  return more;
}

int CMessageLoop::Run() {
  MSG message{};
  for (;;) {
    // Idle work runs while the queue is empty, until no handler asks for more.
    while (!::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!RunIdleHandlers())
        break;
    }
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0)
      return static_cast<int>(message.wParam);
    if (got == -1)
      return -1;
    ProcessMessage(message);
  }
}

bool PreTranslateForThread(MSG& message) {
  if (CMessageLoop* loop = CMessageLoop::ForThisThread(); loop != nullptr) {
    if (loop->PreTranslateMessage(message))
      return true;
  }
  const HWND dialog = DialogOfMessage(message);
  return dialog != nullptr && ::IsDialogMessageW(dialog, &message);
}

void ProcessMessage(MSG& message) {
  if (!PreTranslateForThread(message)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

HWND DialogOfMessage(const MSG& message) {
  if (message.hwnd == nullptr)
    return nullptr;
  const HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
  if (root == nullptr)
    return nullptr;
  wchar_t className[16] = {};
  ::GetClassNameW(root, className, 16);
  return std::wstring_view(className) == L"#32770" ? root : nullptr;
}

}  // namespace quorin::client
