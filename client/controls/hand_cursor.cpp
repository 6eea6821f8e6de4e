#include "client/controls/hand_cursor.h"

#include <cwctype>
#include <string>

#include "client/framework/dpi.h"
#include "client/framework/paint_dc.h"

namespace quorin::client {
namespace {

constexpr int kHelpProgramHandCursor = 106;

int CALLBACK NoteFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found) {
  if (::lstrcmpiW(font->lfFaceName, L"Tahoma") == 0) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // found: the enumeration may stop
  }
  return 1;
}

bool HasTahoma(HDC dc) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, L"Tahoma", LF_FACESIZE);
  bool found = false;
  ::EnumFontFamiliesExW(dc, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

HandCursor::HandCursor() {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    const std::wstring path = std::wstring(windows) + L"\\winhlp32.exe";
    // Loaded as data only: nothing of the program runs. LoadImage without LR_SHARED makes a
    // cursor of our own, which outlives the library.
    const UniqueModule library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (library) {
      own_.reset(
          static_cast<HCURSOR>(::LoadImageW(library.get(), MAKEINTRESOURCEW(kHelpProgramHandCursor),
                                            IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
    }
  }
  if (!own_)
    shared_ = ::LoadCursorW(nullptr, IDC_HAND);
}

UniqueFont ChooseGridFont(UINT dpi) {
  LOGFONTW font = NonClientMetricsForDpi(dpi).lfMessageFont;
  const ClientDc screen(nullptr);
  font.lfCharSet = static_cast<BYTE>(::GetTextCharset(screen.get()));
  lstrcpynW(font.lfFaceName, HasTahoma(screen.get()) ? L"Tahoma" : L"MS Sans Serif", LF_FACESIZE);
  return UniqueFont(::CreateFontIndirectW(&font));
}

}  // namespace quorin::client
