#include "tests/shell/window_test_support.h"

#include <climits>
#include <optional>
#include <thread>

namespace quorin::shelltest {
namespace {

struct WindowSearch {
  DWORD processId = 0;
  bool visibleOnly = true;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && (!search->visibleOnly || ::IsWindowVisible(window)))
    search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM parameter) {
  if (::IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildText(HWND window, LPARAM parameter) {
  reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(WindowText(window));
  return TRUE;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- Layout measuring -------------------------------------------------------------------------

// The library's main window template: every template of a language has its font line.
constexpr int kMainWindowTemplate = 102;

UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto forWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (forWindow != nullptr) {
    if (const UINT dpi = forWindow(window); dpi != 0)
      return dpi;
  }
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int Scaled(int value, UINT dpi) {
  return ::MulDiv(value, static_cast<int>(dpi), 96);
}

// comctl32 6 registers its classes under versioned names ("6.0.0.0!Button") as well.
bool ClassIs(HWND window, const wchar_t* name) {
  wchar_t found[128] = {};
  ::GetClassNameW(window, found, 128);
  const std::wstring_view text(found);
  const std::wstring_view wanted(name);
  if (text.size() < wanted.size())
    return false;
  const std::size_t start = text.size() - wanted.size();
  return ::lstrcmpiW(found + start, name) == 0 && (start == 0 || text[start - 1] == L'!');
}

bool IsGroupBox(HWND control) {
  return ClassIs(control, L"Button") &&
         (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

RECT PlaceInParent(HWND parent, HWND control) {
  RECT place{};
  ::GetWindowRect(control, &place);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

std::string Describe(HWND control) {
  return "control " + std::to_string(::GetDlgCtrlID(control)) + " \"" + Utf8(WindowText(control)) +
         "\"";
}

std::string SizeText(LONG width, LONG height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

// A font this test owns.
struct OwnedFont {
  HFONT font = nullptr;
  explicit OwnedFont(const LOGFONTW& logFont) : font(::CreateFontIndirectW(&logFont)) {}
  ~OwnedFont() {
    if (font != nullptr)
      ::DeleteObject(font);
  }
  OwnedFont(const OwnedFont&) = delete;
  OwnedFont& operator=(const OwnedFont&) = delete;
};

// What a control's text needs in `dc` (its font selected) against the room the control gives
// it; nothing for controls without a text to measure.
struct TextRoom {
  SIZE need;
  SIZE room;
};

std::optional<TextRoom> MeasureText(HWND control, HDC dc, UINT dpi) {
  const std::wstring text = WindowText(control);
  if (text.empty())
    return std::nullopt;
  const LONG style = ::GetWindowLongW(control, GWL_STYLE);
  RECT client{};
  ::GetClientRect(control, &client);
  SIZE room{client.right, client.bottom};
  UINT format = DT_EXPANDTABS;
  if (ClassIs(control, L"Static")) {
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE &&
        type != SS_LEFTNOWORDWRAP)
      return std::nullopt;  // pictures, frames, owner-drawn
    if ((style & SS_ELLIPSISMASK) != 0)
      return std::nullopt;  // a text of any length, cut with an ellipsis on purpose
    if ((style & SS_NOPREFIX) != 0)
      format |= DT_NOPREFIX;
    // Statics wrap at word boundaries, as the control draws them.
    format |= type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
  } else if (ClassIs(control, L"Button")) {
    if ((style & (BS_BITMAP | BS_ICON)) != 0)
      return std::nullopt;
    format |= (style & BS_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE;
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        // The raised edge and the focus rectangle on every side.
        room.cx -= 2 * Scaled(3, dpi);
        room.cy -= 2 * Scaled(2, dpi);
        break;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        // The box, the gap after it and the focus rectangle around the text.
        room.cx -= Scaled(13 + 3 + 2, dpi);
        break;
      case BS_GROUPBOX:
        // The caption sits in the frame's top edge, indented on both sides.
        room.cx -= 2 * Scaled(8, dpi);
        room.cy = LONG_MAX;
        break;
      default:
        return std::nullopt;  // owner-drawn and the like
    }
  } else {
    return std::nullopt;
  }
  RECT box{0, 0, room.cx > 0 ? room.cx : 1, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
  return TextRoom{SIZE{box.right - box.left, box.bottom - box.top}, room};
}

}  // namespace

std::wstring Environment(const wchar_t* name) {
  wchar_t value[2048] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 2048);
  return length > 0 && length < 2048 ? std::wstring(value, length) : std::wstring();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::vector<HWND> VisibleWindowsOfProcess(DWORD processId) {
  WindowSearch search{processId, true, {}};
  ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> VisibleWindowsOfThread(DWORD threadId) {
  std::vector<HWND> found;
  ::EnumThreadWindows(threadId, CollectThreadWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> WindowsOfProcess(DWORD processId) {
  WindowSearch search{processId, false, {}};
  ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindWindowWithControls(DWORD processId, const std::vector<int>& controlIds,
                            bool includeHidden) {
  for (const HWND window :
       includeHidden ? WindowsOfProcess(processId) : VisibleWindowsOfProcess(processId)) {
    bool all = true;
    for (const int id : controlIds)
      all = all && ::GetDlgItem(window, id) != nullptr;
    if (all)
      return window;
  }
  return nullptr;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  const int length = ::GetWindowTextW(window, text, 1024);
  return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring ControlText(HWND dialog, int controlId) {
  return WindowText(::GetDlgItem(dialog, controlId));
}

bool ControlVisible(HWND dialog, int controlId) {
  const HWND control = ::GetDlgItem(dialog, controlId);
  return control != nullptr && (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::vector<std::wstring> ChildTexts(HWND window) {
  std::vector<std::wstring> texts;
  ::EnumChildWindows(window, CollectChildText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void PostButtonClick(HWND dialog, int controlId) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, controlId)));
}

bool TakeScreenshot(const std::wstring& name) {
  const std::wstring folder = Environment(L"QUORIN_SHOT_REQUESTS");
  if (folder.empty())
    return false;
  // Let the windows finish painting first.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const std::wstring request = folder + L"\\" + name + L".request";
  const std::wstring done = folder + L"\\" + name + L".done";
  const HANDLE file = ::CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  ::CloseHandle(file);
  const bool answered = WaitUntil([&] { return FileExists(done); });
  ::DeleteFileW(done.c_str());
  return answered;
}

LOGFONTW LibraryDialogFont(const std::wstring& library, UINT dpi) {
  LOGFONTW font{};
  const HMODULE module = ::LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr)
    return font;
  // The main window's DLGTEMPLATEEX: its header, menu, class and caption, then the font line.
  std::vector<WORD> line;
  if (const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(kMainWindowTemplate),
                                          MAKEINTRESOURCEW(5));  // RT_DIALOG
      found != nullptr) {
    const auto* words = static_cast<const WORD*>(::LockResource(::LoadResource(module, found)));
    const std::size_t size = ::SizeofResource(module, found) / sizeof(WORD);
    std::size_t at = 13;  // version, signature, help id, styles, item count, place and size
    const auto skipNameOrNumber = [&] {
      if (at < size && words[at] == 0xFFFF)
        at += 2;
      else
        while (at < size && words[at++] != 0) {
        }
    };
    if (words != nullptr && size > at && words[1] == 0xFFFF) {
      skipNameOrNumber();                      // menu
      skipNameOrNumber();                      // class
      while (at < size && words[at++] != 0) {  // caption
      }
      for (; at < size; ++at) {
        line.push_back(words[at]);
        if (line.size() > 3 && words[at] == 0)
          break;
      }
    }
  }
  ::FreeLibrary(module);
  if (line.size() < 4)
    return font;
  // A template with that font line and no controls, made hidden in this process: the dialog
  // manager picks the face (and its stand-in for "MS Shell Dlg") as for the library's.
  std::vector<WORD> words;
  const auto dword = [&](DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  };
  words.push_back(1);       // DLGTEMPLATEEX version
  words.push_back(0xFFFF);  // signature
  dword(0);                 // help id
  dword(0);                 // extended style
  dword(DS_SETFONT | DS_SHELLFONT | WS_POPUP);
  for (const WORD value :
       {WORD{0}, WORD{0}, WORD{0}, WORD{40}, WORD{20}, WORD{0}, WORD{0}, WORD{0}})
    words.push_back(value);  // no controls, place and size, no menu, class or caption
  words.insert(words.end(), line.begin(), line.end());
  const HWND probe = ::CreateDialogIndirectParamW(
      ::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), nullptr,
      &IgnoreEverything, 0);
  if (probe == nullptr)
    return font;
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(probe, WM_GETFONT, 0, 0)), sizeof font,
               &font);
  ::DestroyWindow(probe);
  // The height the dialog manager gives those points at `dpi` rather than at this program's.
  font.lfHeight = -::MulDiv(line[0], static_cast<int>(dpi), 72);
  font.lfWidth = 0;
  return font;
}

namespace {

// The resource library beside the program of `processId`.
std::wstring LibraryOfProcess(DWORD processId) {
  const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr)
    return std::wstring();
  wchar_t path[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  const bool named = ::QueryFullProcessImageNameW(process, 0, path, &length) != 0;
  ::CloseHandle(process);
  if (!named)
    return std::wstring();
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + L"uires.dll";
}

}  // namespace

std::vector<std::string> LayoutFaults(HWND window) {
  std::vector<std::string> faults;
  if (window == nullptr || !::IsWindow(window))
    return {"no window to measure"};
  const UINT dpi = DpiOf(window);
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  const bool ours = processId == ::GetCurrentProcessId();
  // A font handle of another process means nothing here: its dialogs are measured with the
  // font their dialog manager made from the same template line.
  std::optional<OwnedFont> libraryFont;
  HFONT windowFont = nullptr;
  if (!ours) {
    if (!ClassIs(window, L"#32770"))
      return {"a window of another process that is not a dialog cannot be measured"};
    const LOGFONTW logFont = LibraryDialogFont(LibraryOfProcess(processId), dpi);
    if (logFont.lfHeight == 0)
      return {"the resource library of the window's program gives no dialog font"};
    libraryFont.emplace(logFont);
    windowFont = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  }

  std::vector<HWND> shown;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if ((::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0)
      shown.push_back(child);
  }
  RECT client{};
  ::GetClientRect(window, &client);
  const HDC dc = ::GetDC(nullptr);
  for (const HWND control : shown) {
    const RECT place = PlaceInParent(window, control);
    if (place.left < client.left || place.top < client.top || place.right > client.right ||
        place.bottom > client.bottom) {
      faults.push_back(Describe(control) + " reaches outside the window's client area (" +
                       std::to_string(place.left) + "," + std::to_string(place.top) + "-" +
                       std::to_string(place.right) + "," + std::to_string(place.bottom) + " in " +
                       SizeText(client.right, client.bottom) + ")");
    }
    auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    if (!ours) {
      if (font != windowFont) {
        if (MeasureText(control, dc, dpi).has_value())
          faults.push_back(Describe(control) +
                           " has a font of its own, which cannot be measured from here");
        continue;
      }
      font = libraryFont->font;
    }
    const HGDIOBJ former = ::SelectObject(
        dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
    const std::optional<TextRoom> text = MeasureText(control, dc, dpi);
    ::SelectObject(dc, former);
    if (text.has_value() && (text->need.cx > text->room.cx || text->need.cy > text->room.cy)) {
      faults.push_back(Describe(control) + ": its text needs " +
                       SizeText(text->need.cx, text->need.cy) + " pixels, it has " +
                       SizeText(text->room.cx, text->room.cy) + " at " + std::to_string(dpi) +
                       " DPI");
    }
  }
  ::ReleaseDC(nullptr, dc);

  for (std::size_t first = 0; first < shown.size(); ++first) {
    for (std::size_t second = first + 1; second < shown.size(); ++second) {
      const RECT a = PlaceInParent(window, shown[first]);
      const RECT b = PlaceInParent(window, shown[second]);
      RECT common{};
      if (!::IntersectRect(&common, &a, &b))
        continue;
      // A group box holds the controls of its group whole.
      RECT both{};
      ::UnionRect(&both, &a, &b);
      if ((IsGroupBox(shown[first]) && ::EqualRect(&both, &a)) ||
          (IsGroupBox(shown[second]) && ::EqualRect(&both, &b)))
        continue;
      faults.push_back(Describe(shown[first]) + " and " + Describe(shown[second]) + " overlap by " +
                       SizeText(common.right - common.left, common.bottom - common.top));
    }
  }
  return faults;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty())
    return std::wstring();
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty())
    return std::string();
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(),
                        length, nullptr, nullptr);
  return narrow;
}

}  // namespace quorin::shelltest
