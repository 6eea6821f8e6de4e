#include "client/framework/window_base.h"

#include <vector>

#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

// The window property that names a window's object, and the one that keeps the former
// procedure of a subclassed window (so that it is still called after the object let go while
// someone else's subclass sat on top of ours).
constexpr wchar_t kObjectProperty[] = L"QuorinFree.WindowObject";
constexpr wchar_t kFormerProcProperty[] = L"QuorinFree.FormerProc";

// The object whose window this thread is making: the first message of the new window (which
// arrives inside CreateWindowEx or CreateDialogParam, before they return) attaches it.
thread_local CWindowBase* t_creating = nullptr;

HWND NotifyingChild(UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
      return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
      return lParam != 0 ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return item != nullptr && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    default:
      return nullptr;
  }
}

}  // namespace

bool RegisterWindowClass(const wchar_t* name, UINT style, HCURSOR cursor, HBRUSH background) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, name, &existing))
    return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = &CWindowBase::WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = cursor;
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

CWindowBase::CWindowBase() = default;

CWindowBase::~CWindowBase() {
  if (hwnd_ == nullptr)
    return;
  if (formerProc_ != nullptr) {
    Unsubclass();
  } else {
    const HWND window = hwnd_;
    Detach();
    ::DestroyWindow(window);
  }
}

bool CWindowBase::CreateEx(DWORD exStyle, const wchar_t* className, std::wstring_view title,
                           DWORD style, const RECT& rect, HWND parent, UINT_PTR id) {
  if (hwnd_ != nullptr)
    return false;
  const std::wstring text(title);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  SetCreating(this);
  const HWND window = ::CreateWindowExW(exStyle, className, text.c_str(), style, rect.left,
                                        rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                        parent, reinterpret_cast<HMENU>(id), instance, nullptr);
  SetCreating(nullptr);
  if (window == nullptr) {
    hwnd_ = nullptr;
    return false;
  }
  if (hwnd_ == nullptr) {
    // A system class: the window did not pass through WindowProc; it runs subclassed.
    return Subclass(window);
  }
  return true;
}

bool CWindowBase::Subclass(HWND window) {
  if (hwnd_ != nullptr || window == nullptr || !::IsWindow(window) ||
      ::GetPropW(window, kObjectProperty) != nullptr)
    return false;
  hwnd_ = window;
  ::SetPropW(window, kObjectProperty, this);
  formerProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
  ::SetPropW(window, kFormerProcProperty, reinterpret_cast<HANDLE>(formerProc_));
  return true;
}

void CWindowBase::Unsubclass() {
  if (hwnd_ == nullptr || formerProc_ == nullptr)
    return;
  // Only a subclass that is still on top can be taken off; otherwise WindowProc keeps calling
  // the former procedure through the property.
  if (::GetWindowLongPtrW(hwnd_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowProc)) {
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(formerProc_));
    ::RemovePropW(hwnd_, kFormerProcProperty);
  }
  ::RemovePropW(hwnd_, kObjectProperty);
  hwnd_ = nullptr;
  formerProc_ = nullptr;
}

void CWindowBase::DestroyWindow() {
  if (hwnd_ != nullptr)
    ::DestroyWindow(hwnd_);
}

CWindowBase* CWindowBase::FromHandle(HWND window) {
  return window != nullptr ? static_cast<CWindowBase*>(::GetPropW(window, kObjectProperty))
                           : nullptr;
}

void CWindowBase::SetText(std::string_view text) {
  if (hwnd_ != nullptr)
    ::SetWindowTextW(hwnd_, platform::WideFromUtf8(text).c_str());
}

std::string CWindowBase::Text() const {
  if (hwnd_ == nullptr)
    return std::string();
  const int length = ::GetWindowTextLengthW(hwnd_);
  if (length <= 0)
    return std::string();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd_, buffer.data(), length + 1);
  return platform::Utf8FromWide(
      std::wstring_view(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0)));
}

RECT CWindowBase::ClientRect() const {
  RECT rect{};
  if (hwnd_ != nullptr)
    ::GetClientRect(hwnd_, &rect);
  return rect;
}

void CWindowBase::Invalidate(bool erase) {
  if (hwnd_ != nullptr)
    ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
}

LRESULT CWindowBase::NotifyParent(int code) const {
  if (hwnd_ == nullptr)
    return 0;
  const HWND parent = ::GetParent(hwnd_);
  if (parent == nullptr)
    return 0;
  NMHDR header{};
  header.hwndFrom = hwnd_;
  header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(hwnd_));
  header.code = static_cast<UINT>(code);
  return ::SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

std::optional<LRESULT> CWindowBase::OnMessage(UINT, WPARAM, LPARAM) {
  return std::nullopt;
}

std::optional<LRESULT> CWindowBase::OnReflectedMessage(UINT, WPARAM, LPARAM) {
  return std::nullopt;
}

LRESULT CWindowBase::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  if (formerProc_ != nullptr)
    return ::CallWindowProcW(formerProc_, hwnd_, message, wParam, lParam);
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CWindowBase::Attach(HWND window) {
  hwnd_ = window;
  ::SetPropW(window, kObjectProperty, this);
}

CWindowBase* CWindowBase::AttachCreating(HWND window) {
  CWindowBase* creating = t_creating;
  if (creating == nullptr || creating->hwnd_ != nullptr)
    return nullptr;
  t_creating = nullptr;
  creating->Attach(window);
  return creating;
}

void CWindowBase::SetCreating(CWindowBase* window) {
  t_creating = window;
}

std::optional<LRESULT> CWindowBase::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam) {
  CWindowBase* child = FromHandle(NotifyingChild(message, wParam, lParam));
  if (child == nullptr)
    return std::nullopt;
  return child->OnReflectedMessage(message, wParam, lParam);
}

void CWindowBase::Detach() {
  if (hwnd_ == nullptr)
    return;
  ::RemovePropW(hwnd_, kObjectProperty);
  ::RemovePropW(hwnd_, kFormerProcProperty);
  hwnd_ = nullptr;
  formerProc_ = nullptr;
}

LRESULT CALLBACK CWindowBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWindowBase* self = FromHandle(window);
  if (self == nullptr)
    self = AttachCreating(window);
  if (self == nullptr) {
    const auto former = reinterpret_cast<WNDPROC>(::GetPropW(window, kFormerProcProperty));
    return former != nullptr ? ::CallWindowProcW(former, window, message, wParam, lParam)
                             : ::DefWindowProcW(window, message, wParam, lParam);
  }
  if (const auto reflected = ReflectToChild(message, wParam, lParam))
    return *reflected;
  if (message == WM_NCDESTROY) {
    self->OnMessage(message, wParam, lParam);
    const LRESULT result = self->DefaultProcessing(message, wParam, lParam);
    self->Detach();
    // The object may delete itself here; nothing of it is touched afterwards.
    self->OnWindowGone();
    return result;
  }
  if (const auto answer = self->OnMessage(message, wParam, lParam))
    return *answer;
  return self->DefaultProcessing(message, wParam, lParam);
}

}  // namespace quorin::client
