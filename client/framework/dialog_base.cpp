#include "client/framework/dialog_base.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "client/framework/message_loop.h"
#include "client/framework/resource_module.h"
#include "common/text_tools.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

std::atomic<CDialogBase::InitHook> g_initHook{nullptr};

std::wstring WindowTextOf(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0)
    return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

// Messages whose answer is the dialog procedure's return value itself (see DialogProc in the
// Windows documentation); every other handled message answers through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

}  // namespace

// --- DataExchange ---------------------------------------------------------------------------

DataExchange::DataExchange(HWND dialog, bool saving) : dialog_(dialog), saving_(saving) {}

void DataExchange::Text(int controlId, std::string& value, std::size_t maxBytes) {
  if (!ok_)
    return;
  const HWND control = ::GetDlgItem(dialog_, controlId);
  if (control == nullptr)
    return;
  if (saving_) {
    value = platform::Utf8FromWide(WindowTextOf(control));
    if (maxBytes != 0)
      value = CutText(value, maxBytes);
  } else {
    ::SetWindowTextW(control, platform::WideFromUtf8(value).c_str());
  }
}

void DataExchange::Check(int controlId, int& value) {
  if (!ok_)
    return;
  const HWND control = ::GetDlgItem(dialog_, controlId);
  if (control == nullptr)
    return;
  if (saving_) {
    value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
  } else {
    ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

void DataExchange::Check(int controlId, bool& value) {
  int state = value ? BST_CHECKED : BST_UNCHECKED;
  Check(controlId, state);
  value = state != BST_UNCHECKED;
}

void DataExchange::Control(int controlId, CWindowBase& control) {
  if (!ok_ || saving_ || control.hwnd() != nullptr)
    return;
  if (const HWND window = ::GetDlgItem(dialog_, controlId))
    control.Subclass(window);
}

void DataExchange::Number(int controlId, int& value, int minimum, int maximum) {
  if (!ok_)
    return;
  const HWND control = ::GetDlgItem(dialog_, controlId);
  if (control == nullptr)
    return;
  if (!saving_) {
    ::SetWindowTextW(control, std::to_wstring(value).c_str());
    return;
  }
  const std::wstring message = L"Please enter an integer between " + std::to_wstring(minimum) +
                               L" and " + std::to_wstring(maximum) + L".";
  const std::string text = TrimText(platform::Utf8FromWide(WindowTextOf(control)));
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end == nullptr || *end != '\0' || errno == ERANGE || number < minimum ||
      number > maximum) {
    Refuse(controlId, message);
    return;
  }
  value = static_cast<int>(number);
}

void DataExchange::Refuse(int controlId, const std::wstring& message) {
  ok_ = false;
  ::MessageBoxW(dialog_, message.c_str(), L"QuorinFree", MB_OK | MB_ICONEXCLAMATION);
  const HWND control = ::GetDlgItem(dialog_, controlId);
  ::SetFocus(control);
  ::SendMessageW(control, EM_SETSEL, 0, -1);
}

// --- CDialogBase ----------------------------------------------------------------------------

CDialogBase::CDialogBase(int templateId) : templateId_(templateId) {}

// The base destroys a window that is still there, after it has let go of it, so the window
// never calls back into a destroyed object.
CDialogBase::~CDialogBase() = default;

void CDialogBase::SetInitHook(InitHook hook) {
  g_initHook = hook;
}

void CDialogBase::RunInitHook(HWND window) {
  if (const InitHook hook = g_initHook)
    hook(window);
}

INT_PTR CDialogBase::DoModal(HWND owner) {
  if (hwnd() != nullptr)
    return -1;
  if (owner != nullptr && !::IsWindow(owner))
    owner = nullptr;
  modal_ = true;
  ending_ = false;
  result_ = -1;
  if (!Create(owner)) {
    modal_ = false;
    return -1;
  }
  const bool ownerWasEnabled = owner != nullptr && ::IsWindowEnabled(owner);
  if (ownerWasEnabled)
    ::EnableWindow(owner, FALSE);
  if (!ending_ && hwnd() != nullptr)
    ::ShowWindow(hwnd(), SW_SHOW);
  RunModalLoop();
  // The owner is enabled again before the dialog goes, so that it gets the activation back.
  if (ownerWasEnabled && ::IsWindow(owner))
    ::EnableWindow(owner, TRUE);
  if (hwnd() != nullptr) {
    if (owner != nullptr && ::GetActiveWindow() == hwnd())
      ::SetActiveWindow(owner);
    ::DestroyWindow(hwnd());
  }
  modal_ = false;
  return result_;
}

bool CDialogBase::Create(HWND owner) {
  if (hwnd() != nullptr)
    return false;
  if (owner != nullptr && !::IsWindow(owner))
    owner = nullptr;
  // The dialog's first message (WM_SETFONT, before WM_INITDIALOG) already finds this object.
  SetCreating(this);
  const HWND window = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(templateId_), owner,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
  SetCreating(nullptr);
  return window != nullptr;
}

void CDialogBase::EndDialog(INT_PTR result) {
  result_ = result;
  ending_ = true;
  if (modal_) {
    // Wakes the modal loop when the call came from outside a message it dispatched.
    if (hwnd() != nullptr)
      ::PostMessageW(hwnd(), WM_NULL, 0, 0);
  } else {
    DestroyWindow();
  }
}

void CDialogBase::RunModalLoop() {
  MSG message;
  while (!ending_ && hwnd() != nullptr) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1)
      break;
    if (got == 0) {
      // WM_QUIT belongs to the outer loop: hand it on and give up the dialog.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!PreTranslateForThread(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

bool CDialogBase::UpdateData(bool save) {
  if (hwnd() == nullptr)
    return false;
  DataExchange exchange(hwnd(), save);
  DoDataExchange(exchange);
  return exchange.ok();
}

HWND CDialogBase::Item(int id) const {
  return ::GetDlgItem(hwnd(), id);
}

void CDialogBase::SetItemText(int id, std::string_view text) {
  ::SetDlgItemTextW(hwnd(), id, platform::WideFromUtf8(text).c_str());
}

std::string CDialogBase::ItemText(int id) const {
  const HWND control = Item(id);
  return control != nullptr ? platform::Utf8FromWide(WindowTextOf(control)) : std::string();
}

void CDialogBase::ShowItem(int id, bool visible) {
  if (const HWND control = Item(id))
    ::ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
}

void CDialogBase::EnableItem(int id, bool enabled) {
  if (const HWND control = Item(id))
    ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void CDialogBase::SetCheck(int id, bool checked) {
  ::CheckDlgButton(hwnd(), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool CDialogBase::IsChecked(int id) const {
  return ::IsDlgButtonChecked(hwnd(), id) == BST_CHECKED;
}

void CDialogBase::SetCaption(std::string_view text) {
  ::SetWindowTextW(hwnd(), platform::WideFromUtf8(text).c_str());
}

bool CDialogBase::OnInitDialog() {
  UpdateData(false);
  return true;
}

bool CDialogBase::OnCommand(int, int, HWND) {
  return false;
}

void CDialogBase::OnOK() {
  if (!UpdateData(true))
    return;  // a refused control keeps the dialog open
  EndDialog(IDOK);
}

void CDialogBase::OnCancel() {
  EndDialog(IDCANCEL);
}

std::optional<LRESULT> CDialogBase::OnMessage(UINT, WPARAM, LPARAM) {
  return std::nullopt;
}

void CDialogBase::DoDataExchange(DataExchange&) {}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CDialogBase*>(FromHandle(window));
  if (self == nullptr)
    self = static_cast<CDialogBase*>(AttachCreating(window));
  if (self == nullptr && message == WM_INITDIALOG) {
    // A dialog that was made without Create (a template run by someone else's call).
    self = reinterpret_cast<CDialogBase*>(lParam);
    self->Attach(window);
  }
  if (self == nullptr)
    return FALSE;
  if (message == WM_INITDIALOG) {
    if (const InitHook hook = g_initHook)
      hook(window);
    return self->OnInitDialog() ? TRUE : FALSE;
  }
  if (message == WM_NCDESTROY) {
    self->Detach();
    self->OnWindowGone();
    return FALSE;
  }
  if (const auto reflected = ReflectToChild(message, wParam, lParam)) {
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, static_cast<LONG_PTR>(*reflected));
    return AnswersDirectly(message) ? static_cast<INT_PTR>(*reflected) : TRUE;
  }
  return self->Dispatch(message, wParam, lParam);
}

INT_PTR CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (const auto answer = OnMessage(message, wParam, lParam)) {
    if (AnswersDirectly(message))
      return static_cast<INT_PTR>(*answer);
    ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, static_cast<LONG_PTR>(*answer));
    return TRUE;
  }
  if (message != WM_COMMAND)
    return FALSE;
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (OnCommand(id, code, reinterpret_cast<HWND>(lParam)))
    return TRUE;
  if (code == BN_CLICKED && id == IDOK) {
    OnOK();
    return TRUE;
  }
  if (code == BN_CLICKED && id == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

}  // namespace quorin::client
