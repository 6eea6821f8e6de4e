// Owning types for the window layer's system objects: GDI objects, menus, icons, cursors and
// loaded libraries. Each releases its object exactly once, the way that object is released.
// Handles the system owns (stock objects, shared icons and cursors from LoadCursor/LoadIcon,
// menus attached to a window) stay raw handles and are never put in these.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "platform/win32/unique_handle.h"

namespace quorin::client {

template <typename Handle>
struct GdiObjectTraits {
  static Handle Invalid() { return nullptr; }
  static void Close(Handle handle) { ::DeleteObject(handle); }
};
struct MenuTraits {
  static HMENU Invalid() { return nullptr; }
  static void Close(HMENU menu) { ::DestroyMenu(menu); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON icon) { ::DestroyIcon(icon); }
};
struct CursorTraits {
  static HCURSOR Invalid() { return nullptr; }
  static void Close(HCURSOR cursor) { ::DestroyCursor(cursor); }
};
struct ImageListTraits {
  static HIMAGELIST Invalid() { return nullptr; }
  static void Close(HIMAGELIST list) { ::ImageList_Destroy(list); }
};

using UniqueFont = platform::UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = platform::UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniquePen = platform::UniqueHandle<HPEN, GdiObjectTraits<HPEN>>;
using UniqueBitmap = platform::UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueRegion = platform::UniqueHandle<HRGN, GdiObjectTraits<HRGN>>;
using UniqueMenu = platform::UniqueHandle<HMENU, MenuTraits>;
using UniqueIcon = platform::UniqueHandle<HICON, IconTraits>;
// Only for cursors made or loaded as images of their own (LoadImage without LR_SHARED).
using UniqueCursor = platform::UniqueHandle<HCURSOR, CursorTraits>;
using UniqueImageList = platform::UniqueHandle<HIMAGELIST, ImageListTraits>;
using platform::UniqueModule;

}  // namespace quorin::client
