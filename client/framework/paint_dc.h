// Device contexts of the window layer, each released the way it was obtained: the paint DC of
// WM_PAINT, a window's client DC, and an off-screen DC whose picture goes to its target in one
// copy when it ends (flicker-free painting). SelectScope puts an object into a DC for a block.
#pragma once

#include <windows.h>

namespace quorin::client {

// BeginPaint/EndPaint for WM_PAINT (or the DC that WM_PRINTCLIENT brings, when given).
class PaintDc {
 public:
  explicit PaintDc(HWND window, HDC printDc = nullptr);
  ~PaintDc();
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;

  HDC get() const { return dc_; }
  // The part of the window to paint.
  const RECT& area() const { return area_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
  RECT area_{};
  bool began_ = false;
};

// GetDC/ReleaseDC (a window's client area, or the screen for a null window).
class ClientDc {
 public:
  explicit ClientDc(HWND window);
  ~ClientDc();
  ClientDc(const ClientDc&) = delete;
  ClientDc& operator=(const ClientDc&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An off-screen picture of `area` of `target`: paint into get() with the target's
// coordinates; the destructor copies the picture to the target at once. When no off-screen
// bitmap can be made, get() is the target itself (painting still works, with flicker).
class MemoryDc {
 public:
  MemoryDc(HDC target, const RECT& area);
  ~MemoryDc();
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;

  HDC get() const { return dc_ != nullptr ? dc_ : target_; }

 private:
  HDC target_;
  RECT area_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ formerBitmap_ = nullptr;
  POINT formerOrigin_{};
};

// Selects `object` into `dc` and selects the former object back when the block ends.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object)
      : dc_(dc), former_(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
  ~SelectScope() {
    if (former_ != nullptr)
      ::SelectObject(dc_, former_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ former_;
};

}  // namespace quorin::client
