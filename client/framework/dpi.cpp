#include "client/framework/dpi.h"

#include "client/framework/paint_dc.h"

namespace quorin::client {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

// The Windows 10 functions, or null where user32 lacks them. user32 stays loaded for the
// whole process, so the addresses stay valid.
template <typename Function>
Function User32Function(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 != nullptr
             ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
             : nullptr;
}

}  // namespace

UINT SystemDpi() {
  const ClientDc screen(nullptr);
  const int dpi = screen.get() != nullptr ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT WindowDpi(HWND window) {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0)
      return dpi;
  }
  return SystemDpi();
}

int ScaleForDpi(int value, UINT dpi) {
  return ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

int SystemMetricForDpi(int index, UINT dpi) {
  static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (forDpi != nullptr)
    return forDpi(index, dpi);
  const UINT system = SystemDpi();
  const int value = ::GetSystemMetrics(index);
  return dpi == system ? value : ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(system));
}

NONCLIENTMETRICSW NonClientMetricsForDpi(UINT dpi) {
  static const auto forDpi =
      User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
    return metrics;
  metrics = NONCLIENTMETRICSW{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // Without metrics the message font is the default GUI font's face at 9 points.
    metrics.lfMessageFont.lfHeight = -12;
    lstrcpynW(metrics.lfMessageFont.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
  }
  const UINT system = SystemDpi();
  if (dpi != system) {
    auto scale = [&](LONG& height) {
      height = ::MulDiv(height, static_cast<int>(dpi), static_cast<int>(system));
    };
    scale(metrics.lfMessageFont.lfHeight);
    scale(metrics.lfCaptionFont.lfHeight);
    scale(metrics.lfMenuFont.lfHeight);
    scale(metrics.lfStatusFont.lfHeight);
    scale(metrics.lfSmCaptionFont.lfHeight);
  }
  return metrics;
}

UniqueIcon LoadIconForDpi(HMODULE module, const wchar_t* name, bool small, UINT dpi) {
  const int size = SystemMetricForDpi(small ? SM_CXSMICON : SM_CXICON, dpi);
  return UniqueIcon(
      static_cast<HICON>(::LoadImageW(module, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace quorin::client
