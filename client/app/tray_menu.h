// The tray icon's pop-up menu (menu 141 of the resource library, its first sub-menu): the
// item pictures, the web-link texts of Language.ini or their removal, and the tracking.
#pragma once

#include <windows.h>

#include <string>

namespace quorin::client {

// The pictures of the items at positions 0, 2 and 5 (shown checked and unchecked alike).
struct TrayMenuBitmaps {
  HBITMAP showWindow = nullptr;
  HBITMAP settings = nullptr;
  HBITMAP web = nullptr;
};

// The Language.ini side of the menu: "Menu_hide" exactly "hide" removes the three web links
// and the item at position 4; otherwise the links take the "Menu5" to "Menu7" texts.
struct TrayMenuTexts {
  bool hideLinks = false;
  std::string link5;
  std::string link6;
  std::string link7;
};
TrayMenuTexts ReadTrayMenuTexts();

// Gives `popup` its pictures, then its texts or removals.
void PrepareTrayMenu(HMENU popup, const TrayMenuBitmaps& bitmaps, const TrayMenuTexts& texts);

// Loads, prepares and tracks the menu at the cursor for `owner`, which receives the chosen
// command as WM_COMMAND. Returns once the menu has closed; the menu is destroyed then.
void ShowTrayMenu(HWND owner, const TrayMenuBitmaps& bitmaps);

}  // namespace quorin::client
