// The resource library uires.dll as the client's windows use it: both languages' strings,
// templates, menus and pictures, and the installation's Language.ini and skin files.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "client/app/language_file.h"
#include "client/framework/resource_module.h"
#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"
#include "client/texts/string_table.h"
#include "resources/resource.h"
#include "tests/shell/window_test_resources.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// Every string number that the client's code or its texts name.
const std::vector<unsigned>& NamedStrings() {
  static const std::vector<unsigned> ids = [] {
    std::vector<unsigned> list;
    for (unsigned id = 57677; id <= 57701; ++id)
      list.push_back(id);
    for (unsigned id = 57704; id <= 57719; ++id)
      list.push_back(id);
    for (unsigned id = 57722; id <= 57725; ++id)
      list.push_back(id);
    for (unsigned id = 57728; id <= 57731; ++id)
      list.push_back(id);
    list.push_back(57740);
    list.push_back(57741);
    for (unsigned id = 57760; id <= 57762; ++id)
      list.push_back(id);
    return list;
  }();
  return ids;
}

// A string of one language, read from its string-table block directly (16 strings a block,
// each a length and that many UTF-16 units).
std::wstring StringOf(HMODULE module, unsigned id, LANGID language) {
  const HRSRC block = ::FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_STRING),
                                        MAKEINTRESOURCEW(id / 16 + 1), language);
  if (block == nullptr)
    return std::wstring();
  const auto* data = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, block)));
  if (data == nullptr)
    return std::wstring();
  for (unsigned index = 0; index < id % 16; ++index)
    data += 1 + *data;
  return std::wstring(data + 1, *data);
}

const void* TemplateOf(HMODULE module, LPCWSTR type, int id, LANGID language) {
  const HRSRC resource = ::FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
  return resource != nullptr ? ::LockResource(::LoadResource(module, resource)) : nullptr;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class ResourceLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = UseInstalledResources();
    ASSERT_NE(module_, nullptr) << "uires.dll of the installation";
  }
  HMODULE module_ = nullptr;
};

TEST_F(ResourceLibraryTest, BothLanguagesCarryEveryNamedString) {
  for (const LANGID language : {kEnglish, kChinese}) {
    for (const unsigned id : NamedStrings()) {
      EXPECT_FALSE(StringOf(module_, id, language).empty())
          << "string " << id << " of language " << language;
    }
  }
}

TEST_F(ResourceLibraryTest, EnglishTextsAgreeWithTheBuiltInTable) {
  // The windowless programs use the built-in table; both editions must say the same.
  const client::BuiltinStringTable builtin;
  int compared = 0;
  for (const unsigned id : NamedStrings()) {
    const std::string expected = builtin.Load(id);
    if (expected.empty())
      continue;
    EXPECT_EQ(Utf8(StringOf(module_, id, kEnglish)), expected) << "string " << id;
    ++compared;
  }
  EXPECT_GE(compared, 30);
}

TEST_F(ResourceLibraryTest, ChineseTextsComeOutOfTheCompilerIntact) {
  EXPECT_EQ(StringOf(module_, IDS_BUTTON_OK, kChinese), L"确定");
  EXPECT_EQ(StringOf(module_, IDS_BUTTON_NO, kChinese), L"否");
  EXPECT_EQ(StringOf(module_, IDS_CONFIRM_EXIT, kChinese),
            L"确定要退出 QuorinFree 吗？退出后您的域名将不再更新。");
  EXPECT_EQ(StringOf(module_, IDS_BUTTON_OK, kEnglish), L"OK");
  // The product title keeps one placeholder for the version in both languages, and the same
  // words, so that clients of one version find each other whatever the user's language.
  EXPECT_EQ(StringOf(module_, IDS_PRODUCT_TITLE, kChinese), L"QuorinFree %s");
  EXPECT_EQ(StringOf(module_, IDS_PRODUCT_TITLE, kEnglish), L"QuorinFree %s");
}

TEST_F(ResourceLibraryTest, TheUserInterfaceLanguageChoosesTheTable) {
  const bool chinese = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE;
  EXPECT_EQ(client::LoadResourceText(IDS_BUTTON_CANCEL), chinese ? "取消" : "Cancel");
  EXPECT_EQ(client::LoadResourceText(IDS_PRODUCT_TITLE), "QuorinFree %s");
  EXPECT_EQ(client::LoadResourceText(57702), "");  // a number nobody names
}

TEST_F(ResourceLibraryTest, StartUpFillsTheTextTablesFromTheLibrary) {
  const client::ResourceStringTable strings;
  client::ClientTexts texts;
  texts.Fill(strings);
  EXPECT_EQ(texts.Get(57704), client::LoadResourceText(57704));
  EXPECT_FALSE(texts.Get(57729).empty());
  client::ReplyCodeTable codes;
  codes.Fill(strings);
  std::string reply = "01 refused";
  std::string message;
  EXPECT_FALSE(codes.Parse(reply, message));
  EXPECT_EQ(message, client::LoadResourceText(IDS_REPLY_01));
  EXPECT_EQ(reply, " refused");
  reply = "00OK";
  EXPECT_TRUE(codes.Parse(reply, message));
  EXPECT_EQ(reply, "OK");
}

TEST_F(ResourceLibraryTest, EveryTemplateHoldsTheControlsOfItsWindow) {
  const std::vector<std::pair<int, std::vector<int>>> templates = {
      {IDD_QUORINFREE_DIALOG, {1044, 1045, 1046, 1053, 1012, 1013, 1014, 1015, 1016, 1000, 1018,
                               1004, 1005, 1010, 1003, 1006, 1007, 1008, 1021, 1022, 1023}},
      {IDD_SKIN_HOST, {1039}},
      {IDD_ABOUTBOX, {1051, 1063, 1064, 1065, 1057, IDOK}},
      {IDD_MESSAGE, {1049, 1056, 1060, IDOK, IDCANCEL}},
      {IDD_SETTINGS,
       {1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1035, 1054, 1062, 1066, 3, IDOK, IDCANCEL}},
      {IDD_LOG, {1024, 1001}},
  };
  for (const LANGID language : {kEnglish, kChinese}) {
    for (const auto& [id, controls] : templates) {
      const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(
          TemplateOf(module_, reinterpret_cast<LPCWSTR>(RT_DIALOG), id, language));
      ASSERT_NE(dialogTemplate, nullptr) << "template " << id << " language " << language;
      const HWND dialog =
          ::CreateDialogIndirectParamW(module_, dialogTemplate, nullptr, QuietDialog, 0);
      ASSERT_NE(dialog, nullptr) << "template " << id;
      RECT client;
      ::GetClientRect(dialog, &client);
      for (const int control : controls) {
        const HWND item = ::GetDlgItem(dialog, control);
        EXPECT_NE(item, nullptr) << "control " << control << " of template " << id;
        if (item == nullptr)
          continue;
        // Every control lies wholly inside its window, so none is cut off.
        RECT place;
        ::GetWindowRect(item, &place);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= client.right &&
                    place.bottom <= client.bottom)
            << "control " << control << " of template " << id;
      }
      // The domain grid is made at run time; the template must leave its number free.
      EXPECT_EQ(::GetDlgItem(dialog, IDC_DOMAIN_GRID), nullptr);
      ::DestroyWindow(dialog);
    }
  }
}

std::set<UINT> CommandsOf(HMENU menu) {
  std::set<UINT> commands;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    if (const HMENU sub = ::GetSubMenu(menu, i)) {
      const auto inner = CommandsOf(sub);
      commands.insert(inner.begin(), inner.end());
    } else if (const UINT id = ::GetMenuItemID(menu, i); id != 0 && id != UINT(-1)) {
      commands.insert(id);
    }
  }
  return commands;
}

TEST_F(ResourceLibraryTest, MenusCarryEveryCommandOfTheMainWindow) {
  const std::set<UINT> handled = {32774, 32773, 32784, 32786, 32787, 32788, 57670, 32782, 32783,
                                  32780, 32779, 32781, 32771, 32776, 32775, 32777, 32785};
  for (const LANGID language : {kEnglish, kChinese}) {
    const HMENU tray = ::LoadMenuIndirectW(
        TemplateOf(module_, reinterpret_cast<LPCWSTR>(RT_MENU), IDR_TRAY_MENU, language));
    const HMENU main = ::LoadMenuIndirectW(
        TemplateOf(module_, reinterpret_cast<LPCWSTR>(RT_MENU), IDR_MAIN_MENU, language));
    ASSERT_NE(tray, nullptr);
    ASSERT_NE(main, nullptr);
    std::set<UINT> all = CommandsOf(tray);
    const auto mainCommands = CommandsOf(main);
    all.insert(mainCommands.begin(), mainCommands.end());
    for (const UINT id : handled)
      EXPECT_TRUE(all.contains(id)) << "command " << id;

    // The tray menu shows sub-menu 0: pictures at 0, 2 and 5, a separator at 4 that goes with
    // the three web links, and the links themselves.
    const HMENU popup = ::GetSubMenu(tray, 0);
    ASSERT_NE(popup, nullptr);
    for (const int position : {0, 2, 5}) {
      EXPECT_NE(::GetMenuItemID(popup, position), 0u) << position;
      EXPECT_EQ(::GetSubMenu(popup, position), nullptr) << position;
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoW(popup, 4, TRUE, &info));
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    for (const UINT link : {32786u, 32787u, 32788u}) {
      EXPECT_TRUE(CommandsOf(popup).contains(link)) << link;
    }
    // The window menu's first sub-menu begins with a command (it shows bitmap 177).
    const HMENU first = ::GetSubMenu(main, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(::GetMenuItemID(first, 0), 0u);
    ::DestroyMenu(tray);
    ::DestroyMenu(main);
  }
}

TEST_F(ResourceLibraryTest, PicturesAndTheHandCursor) {
  for (const int id : {175, 176, 177, 178, 179}) {
    const auto bitmap = static_cast<HBITMAP>(
        ::LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr) << id;
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 16) << id;
    EXPECT_EQ(info.bmHeight, 16) << id;
    ::DeleteObject(bitmap);
  }
  const auto strip = static_cast<HBITMAP>(::LoadImageW(module_, MAKEINTRESOURCEW(IDB_LOG_IMAGES),
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(strip, nullptr);
  BITMAP info{};
  ::GetObjectW(strip, sizeof info, &info);
  EXPECT_EQ(info.bmHeight, 16);
  EXPECT_GE(info.bmWidth, 5 * 16);  // at least five images; the log viewer uses 2 and 4
  ::DeleteObject(strip);
  EXPECT_NE(::LoadCursorW(module_, MAKEINTRESOURCEW(IDC_DIVIDER_CURSOR)), nullptr);
}

TEST_F(ResourceLibraryTest, InstallationFilesBesideTheProgram) {
  const std::wstring install = Environment(L"QUORIN_SHELL_INSTALL");
  ASSERT_FALSE(install.empty());
  for (const int size : {32, 16}) {
    const HANDLE icon = ::LoadImageW(nullptr, (install + L"\\skin\\QuorinFree.ico").c_str(),
                                     IMAGE_ICON, size, size, LR_LOADFROMFILE);
    EXPECT_NE(icon, nullptr) << size;
    if (icon != nullptr)
      ::DestroyIcon(static_cast<HICON>(icon));
  }
  const HANDLE picture = ::LoadImageW(nullptr, (install + L"\\skin\\bitmap11.skn").c_str(),
                                      IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  EXPECT_NE(picture, nullptr);
  if (picture != nullptr)
    ::DeleteObject(picture);

  // Language.ini: every key the client reads has a text, except the switch that hides links.
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(install.c_str()));
  const std::vector<std::pair<const char*, std::vector<const char*>>> keys = {
      {"AboutDlg", {"about001", "about002", "about003", "about004"}},
      {"Menu", {"AboutMenu", "HostMenu", "Menu5", "Menu6", "Menu7"}},
      {"URL",
       {"helpfriend", "suggest", "regguide", "siteurl", "mirkaurl", "dorn5url", "domainurl",
        "advertise"}},
  };
  for (const auto& [section, names] : keys) {
    for (const char* name : names) {
      EXPECT_FALSE(client::ReadLanguageText(section, name, 1024).empty()) << section << "/" << name;
    }
  }
  for (const char* name : {"siteurl", "regguide", "advertise"}) {
    EXPECT_EQ(client::ReadLanguageText("URL", name, 1024).rfind("http://", 0), 0u) << name;
  }
  EXPECT_NE(client::ReadLanguageText("Menu", "Menu_hide"), "hide");
  // Texts are cut to the reader's buffer.
  EXPECT_EQ(client::ReadLanguageText("AboutDlg", "about003", 16).size(), 15u);
  EXPECT_EQ(client::ReadLanguageText("AboutDlg", "no-such-key"), "");
  ::SetCurrentDirectoryW(previous);
}

}  // namespace
}  // namespace quorin::shelltest
