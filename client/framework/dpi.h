// Sizes for the window's DPI. The process is per-monitor aware (its manifest says
// PerMonitorV2, and plain DPI awareness to Windows before 10), so a window learns its own DPI
// and scales every size that is given at 96 DPI. The functions of Windows 10 that give a
// window's DPI are looked up at run time; on older systems (and under Wine) the system DPI
// serves every window.
#pragma once

#include <windows.h>

#include "client/framework/gdi_objects.h"

namespace quorin::client {

inline constexpr UINT kBaseDpi = 96;
// WM_DPICHANGED: the window moved to a monitor of another DPI (or the DPI changed); wParam's
// low word is the new DPI, lParam the suggested window rectangle. Named here because the
// headers for Windows 7 do not have it.
inline constexpr UINT kWmDpiChanged = 0x02E0;

// The DPI of the screen (the system DPI).
UINT SystemDpi();
// The DPI of `window`: GetDpiForWindow where the system has it, the system DPI otherwise.
UINT WindowDpi(HWND window);
// `value` given at 96 DPI, for `dpi` (rounded to the nearest whole pixel).
int ScaleForDpi(int value, UINT dpi);
// GetSystemMetrics for `dpi` (GetSystemMetricsForDpi where present, else scaled from the
// system DPI).
int SystemMetricForDpi(int index, UINT dpi);
// The non-client metrics (message font and friends) for `dpi`.
NONCLIENTMETRICSW NonClientMetricsForDpi(UINT dpi);

// An icon resource of `module` at the size the system uses for big (SM_CXICON) or small
// (SM_CXSMICON) icons at `dpi`, picked from the sizes the resource holds.
UniqueIcon LoadIconForDpi(HMODULE module, const wchar_t* name, bool small, UINT dpi);

}  // namespace quorin::client
