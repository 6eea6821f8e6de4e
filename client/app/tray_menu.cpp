#include "client/app/tray_menu.h"

#include "client/app/activity_record.h"
#include "client/app/language_file.h"
#include "client/framework/gdi_objects.h"
#include "client/framework/resource_module.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr int kShowWindowPosition = 0;
constexpr int kSettingsPosition = 2;
constexpr int kLinksSeparatorPosition = 4;
constexpr int kWebPosition = 5;

void SetItemText(HMENU menu, UINT command, const std::string& text) {
  const std::wstring wide = platform::WideFromUtf8(text);
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  item.dwTypeData = const_cast<wchar_t*>(wide.c_str());
  ::SetMenuItemInfoW(menu, command, FALSE, &item);
}

// One line per item for the activity record: command, text, and whether it has a picture.
void RecordMenu(HMENU menu) {
  const int count = ::GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t text[256] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS | MIIM_FTYPE;
    item.dwTypeData = text;
    item.cch = 255;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item))
      continue;
    const bool separator = (item.fType & MFT_SEPARATOR) != 0;
    RecordActivity("menu-item\t" + std::to_string(separator ? 0 : item.wID) + "\t" +
                   platform::Utf8FromWide(separator ? L"" : text) + "\t" +
                   (item.hbmpChecked != nullptr ? "picture" : "-"));
  }
  RecordActivity("menu-shown");
}

}  // namespace

TrayMenuTexts ReadTrayMenuTexts() {
  TrayMenuTexts texts;
  texts.hideLinks = ReadLanguageText("Menu", "Menu_hide") == "hide";
  texts.link5 = ReadLanguageText("Menu", "Menu5");
  texts.link6 = ReadLanguageText("Menu", "Menu6");
  texts.link7 = ReadLanguageText("Menu", "Menu7");
  return texts;
}

void PrepareTrayMenu(HMENU popup, const TrayMenuBitmaps& bitmaps, const TrayMenuTexts& texts) {
  ::SetMenuItemBitmaps(popup, kShowWindowPosition, MF_BYPOSITION, bitmaps.showWindow,
                       bitmaps.showWindow);
  ::SetMenuItemBitmaps(popup, kSettingsPosition, MF_BYPOSITION, bitmaps.settings, bitmaps.settings);
  ::SetMenuItemBitmaps(popup, kWebPosition, MF_BYPOSITION, bitmaps.web, bitmaps.web);
  if (texts.hideLinks) {
    // The separator before the links goes first, while it still stands at its position.
    ::RemoveMenu(popup, kLinksSeparatorPosition, MF_BYPOSITION);
    for (const UINT command : {ID_MENU_LINK5, ID_MENU_LINK6, ID_MENU_LINK7})
      ::RemoveMenu(popup, command, MF_BYCOMMAND);
    return;
  }
  SetItemText(popup, ID_MENU_LINK5, texts.link5);
  SetItemText(popup, ID_MENU_LINK6, texts.link6);
  SetItemText(popup, ID_MENU_LINK7, texts.link7);
}

void ShowTrayMenu(HWND owner, const TrayMenuBitmaps& bitmaps) {
  const UniqueMenu menu(::LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
  if (!menu)
    return;
  const HMENU popup = ::GetSubMenu(menu.get(), 0);
  if (popup == nullptr)
    return;
  PrepareTrayMenu(popup, bitmaps, ReadTrayMenuTexts());
  if (ActivityRecordOn())
    RecordMenu(popup);

  POINT cursor{};
  ::GetCursorPos(&cursor);
  // The window must be in the foreground while the menu is tracked, or the menu stays open
  // when the user clicks elsewhere.
  ::SetForegroundWindow(owner);
  ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner, nullptr);
  // The switch of the foreground back to the owner completes only with a message after the
  // menu; without it the next click on the icon opens a menu that closes at once.
  ::PostMessageW(owner, WM_NULL, 0, 0);
}

}  // namespace quorin::client
