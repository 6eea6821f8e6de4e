#include "client/controls/progress_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "client/framework/app_base.h"
#include "client/framework/dialog_base.h"
#include "client/framework/dpi.h"
#include "client/framework/message_loop.h"
#include "client/framework/resource_module.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

constexpr wchar_t kProgressClass[] = L"QuorinFree.Progress";
constexpr unsigned kCancelText = 57683;
// The window's size at 96 DPI, and its parts' places in its client area.
constexpr int kWidth = 390;
constexpr int kHeight = 130;
constexpr int kMargin = 10;
constexpr int kLineHeight = 20;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;

}  // namespace

CProgressWindow::CProgressWindow() {
  cancelText_ = platform::WideFromUtf8(LoadResourceText(kCancelText));
  if (cancelText_.empty())
    cancelText_ = L"Cancel";
}

CProgressWindow::~CProgressWindow() {
  DestroyWindow();
}

bool CProgressWindow::Create(HWND parent, std::string_view caption, bool smooth) {
  if (hwnd() != nullptr)
    return false;
  if (parent == nullptr && CAppBase::Current() != nullptr)
    parent = CAppBase::Current()->MainWindow();
  if (parent != nullptr && !::IsWindow(parent))
    parent = nullptr;
  parent_ = parent;
  if (!caption.empty())
    caption_ = platform::WideFromUtf8(caption);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  if (!RegisterWindowClass(kProgressClass, 0, ::LoadCursorW(nullptr, IDC_APPSTARTING),
                           ::GetSysColorBrush(COLOR_BTNFACE)))
    return false;

  const UINT dpi = WindowDpi(parent);
  const int width = ScaleForDpi(kWidth, dpi);
  const int height = ScaleForDpi(kHeight, dpi);
  // Centred over the parent (over the screen without one, or when the parent is hidden, as
  // the main window is when the tray menu starts the work), kept on the screen.
  RECT over{};
  if (parent == nullptr || !::IsWindowVisible(parent) || !::GetWindowRect(parent, &over))
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int left = (over.left + over.right - width) / 2;
  int top = (over.top + over.bottom - height) / 2;
  left = std::max<int>(work.left, std::min<int>(left, work.right - width));
  top = std::max<int>(work.top, std::min<int>(top, work.bottom - height));

  if (!CreateEx(WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, kProgressClass, caption_,
                WS_POPUP | WS_CAPTION | WS_DLGFRAME, RECT{left, top, left + width, top + height},
                parent, 0)) {
    return false;
  }
  const NONCLIENTMETRICSW metrics = NonClientMetricsForDpi(dpi);
  font_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  text_ =
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX | SS_LEFTNOWORDWRAP,
                        0, 0, 0, 0, hwnd(), nullptr, instance, nullptr);
  bar_ =
      ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | (smooth ? PBS_SMOOTH : 0),
                        0, 0, 0, 0, hwnd(), nullptr, instance, nullptr);
  button_ = ::CreateWindowExW(0, L"BUTTON", cancelText_.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                              hwnd(), reinterpret_cast<HMENU>(IDCANCEL), instance, nullptr);
  for (const HWND child : {text_, button_})
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  SetRange(lower_, upper_, step_);
  LayOut();
  CDialogBase::RunInitHook(hwnd());

  if (parent != nullptr && ::IsWindowEnabled(parent)) {
    ::EnableWindow(parent, FALSE);
    parentDisabled_ = true;
  }
  ::ShowWindow(hwnd(), SW_SHOW);
  ::UpdateWindow(hwnd());
  return true;
}

void CProgressWindow::LayOut() {
  const UINT dpi = WindowDpi(hwnd());
  const RECT client = ClientRect();
  const int margin = ScaleForDpi(kMargin, dpi);
  const int line = ScaleForDpi(kLineHeight, dpi);
  const int inner = client.right - 2 * margin;
  ::MoveWindow(text_, margin, margin, inner, line, TRUE);
  ::MoveWindow(bar_, margin, 2 * margin + line, inner, line, TRUE);
  const int buttonWidth = ScaleForDpi(kButtonWidth, dpi);
  const int buttonHeight = ScaleForDpi(kButtonHeight, dpi);
  ::MoveWindow(
      button_, (client.right - buttonWidth) / 2,
      std::max<int>(3 * margin + 2 * line, static_cast<int>(client.bottom) - margin - buttonHeight),
      buttonWidth, buttonHeight, TRUE);
}

void CProgressWindow::SetRange(int lower, int upper, int step) {
  lower_ = lower;
  upper_ = upper;
  step_ = step;
  if (bar_ != nullptr) {
    ::SendMessageW(bar_, PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    ::SendMessageW(bar_, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
  }
}

void CProgressWindow::SetPos(int value) {
  if (bar_ != nullptr)
    ::SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  // The share of the range done; a range that is empty counts as nothing done.
  int percent = 0;
  if (upper_ > lower_) {
    const long long done = static_cast<long long>(value) - lower_;
    percent = static_cast<int>(std::clamp(done * 100 / (upper_ - lower_), 0LL, 100LL));
  }
  if (percent != percent_) {
    percent_ = percent;
    UpdateCaption();
  }
}

void CProgressWindow::UpdateCaption() {
  if (hwnd() == nullptr)
    return;
  const std::wstring text = caption_ + L" [" + std::to_wstring(percent_) + L"%]";
  ::SetWindowTextW(hwnd(), text.c_str());
}

void CProgressWindow::SetText(std::string_view text) {
  if (text_ != nullptr)
    ::SetWindowTextW(text_, platform::WideFromUtf8(text).c_str());
}

void CProgressWindow::SetCancelText(std::string_view text) {
  cancelText_ = platform::WideFromUtf8(text);
  if (button_ != nullptr)
    ::SetWindowTextW(button_, cancelText_.c_str());
}

bool CProgressWindow::Pump(bool cancelOnEscape) {
  MSG message{};
  while (!cancelled_ && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The quit belongs to the loop outside: post it again and stop here.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (cancelOnEscape && message.message == WM_CHAR && message.wParam == VK_ESCAPE) {
      Cancel();
      break;
    }
    // The cancel button is a push button: it captures the mouse when pressed and reports a
    // click (WM_COMMAND, IDCANCEL) only when the button is released inside it, so a press
    // dragged off the button and released elsewhere cancels nothing.
    ProcessMessage(message);
  }
  return !cancelled_;
}

void CProgressWindow::Cancel() {
  if (cancelled_)
    return;
  cancelled_ = true;
  if (hwnd() != nullptr)
    ::ShowWindow(hwnd(), SW_HIDE);
  HWND main = CAppBase::Current() != nullptr ? CAppBase::Current()->MainWindow() : nullptr;
  if (main == nullptr)
    main = parent_;
  if (parentDisabled_ && parent_ != nullptr)
    ::EnableWindow(parent_, TRUE);
  parentDisabled_ = false;
  if (main != nullptr && ::IsWindow(main))
    ::SetForegroundWindow(main);
}

std::optional<LRESULT> CProgressWindow::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        Cancel();
        return 0;
      }
      return std::nullopt;
    case WM_CLOSE:
      Cancel();
      return 0;
    case WM_DESTROY:
      // The parent is enabled before this window goes, so the activation returns to it.
      if (parentDisabled_ && parent_ != nullptr && ::IsWindow(parent_))
        ::EnableWindow(parent_, TRUE);
      parentDisabled_ = false;
      return std::nullopt;
    case WM_NCDESTROY:
      text_ = bar_ = button_ = nullptr;
      font_.reset();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace quorin::client
