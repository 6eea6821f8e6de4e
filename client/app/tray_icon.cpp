#include "client/app/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "client/app/activity_record.h"
#include "client/app/product_title.h"
#include "client/framework/gdi_objects.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

// The first form of the record (88 bytes on 32-bit Windows) is what every shell accepts.
NOTIFYICONDATAW IconRecord(HWND window) {
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V1_SIZE;
  record.hWnd = window;
  record.uID = kTrayIconId;
  return record;
}

// The tip holds 63 characters and the NUL; a cut never splits a surrogate pair.
void CopyTip(NOTIFYICONDATAW& record, const std::wstring& tip) {
  constexpr std::size_t kMaxTipChars = 63;
  std::size_t length = std::min(tip.size(), kMaxTipChars);
  if (length < tip.size() && length > 0 && tip[length - 1] >= 0xD800 && tip[length - 1] < 0xDC00)
    --length;
  std::copy_n(tip.data(), length, record.szTip);
  record.szTip[length] = L'\0';
}

UniqueIcon LoadTrayImage() {
  return UniqueIcon(static_cast<HICON>(
      ::LoadImageW(nullptr, L"skin\\QuorinFree.ico", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_LOADFROMFILE)));
}

}  // namespace

bool AddTrayIcon(HWND window) {
  // The shell keeps its own copy of the icon, so ours goes when the call returns.
  const UniqueIcon icon = LoadTrayImage();
  NOTIFYICONDATAW record = IconRecord(window);
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = icon.get();
  CopyTip(record, platform::WideFromUtf8(ProductTitle()));
  // An icon of this window that is still there (a session logon whose taskbar kept it) counts
  // as added; otherwise the desktop switch would try to add it again every second for good.
  const bool added = ::Shell_NotifyIconW(NIM_ADD, &record) != FALSE ||
                     ::Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
  RecordActivity(std::string("tray-add\t") + (added ? "1" : "0") + "\t" +
                 platform::Utf8FromWide(record.szTip));
  return added;
}

void RemoveTrayIcon(HWND window) {
  NOTIFYICONDATAW record = IconRecord(window);
  ::Shell_NotifyIconW(NIM_DELETE, &record);
  RecordActivity("tray-remove");
}

}  // namespace quorin::client
