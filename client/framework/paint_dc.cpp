#include "client/framework/paint_dc.h"

namespace quorin::client {

PaintDc::PaintDc(HWND window, HDC printDc) : window_(window) {
  if (printDc != nullptr) {
    dc_ = printDc;
    ::GetClientRect(window, &area_);
    return;
  }
  dc_ = ::BeginPaint(window, &paint_);
  area_ = paint_.rcPaint;
  began_ = true;
}

PaintDc::~PaintDc() {
  if (began_)
    ::EndPaint(window_, &paint_);
}

ClientDc::ClientDc(HWND window) : window_(window), dc_(::GetDC(window)) {}

ClientDc::~ClientDc() {
  if (dc_ != nullptr)
    ::ReleaseDC(window_, dc_);
}

MemoryDc::MemoryDc(HDC target, const RECT& area) : target_(target), area_(area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (target == nullptr || width <= 0 || height <= 0)
    return;
  dc_ = ::CreateCompatibleDC(target);
  if (dc_ == nullptr)
    return;
  bitmap_ = ::CreateCompatibleBitmap(target, width, height);
  if (bitmap_ == nullptr) {
    ::DeleteDC(dc_);
    dc_ = nullptr;
    return;
  }
  formerBitmap_ = ::SelectObject(dc_, bitmap_);
  // The picture's top left is the area's: the painter keeps the target's coordinates.
  ::SetWindowOrgEx(dc_, area.left, area.top, &formerOrigin_);
}

MemoryDc::~MemoryDc() {
  if (dc_ == nullptr)
    return;
  ::BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, dc_,
           area_.left, area_.top, SRCCOPY);
  ::SetWindowOrgEx(dc_, formerOrigin_.x, formerOrigin_.y, nullptr);
  ::SelectObject(dc_, formerBitmap_);
  ::DeleteObject(bitmap_);
  ::DeleteDC(dc_);
}

}  // namespace quorin::client
