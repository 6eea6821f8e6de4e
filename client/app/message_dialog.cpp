#include "client/app/message_dialog.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "client/framework/dialog_base.h"
#include "client/framework/resource_module.h"
#include "client/texts/string_table.h"
#include "common/text_tools.h"
#include "platform/system_text.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr std::size_t kTextBytes = 255;  // the dialog's text buffers hold 256 bytes
constexpr UINT_PTR kCountdownTimer = 1;

std::atomic<int> g_checkValue{0};
std::atomic<unsigned> g_tickMs{1000};

class CMessageDlg : public CDialogBase {
 public:
  CMessageDlg(std::string_view text, int kind, bool withCheckBox, std::string_view checkText,
              int checkState)
      : CDialogBase(IDD_MESSAGE),
        text_(CutText(text, kTextBytes)),
        kind_(kind),
        withCheckBox_(withCheckBox),
        checkText_(CutText(checkText, kTextBytes)),
        checkState_(checkState) {}

 protected:
  bool OnInitDialog() override {
    CDialogBase::OnInitDialog();
    SetItemText(IDC_MESSAGE_TEXT, text_);
    if (withCheckBox_) {
      SetItemText(IDC_MESSAGE_CHECK, checkText_);
      SetCheck(IDC_MESSAGE_CHECK, checkState_ != 0);
      ShowItem(IDC_MESSAGE_CHECK, true);
    } else {
      ShowItem(IDC_MESSAGE_CHECK, false);
    }
    LabelButtons();
    FitToText();
    countdown_ = kMessageCountdownStart;
    SetItemText(IDC_MESSAGE_COUNTDOWN, std::to_string(countdown_));
    ::SetForegroundWindow(hwnd());
    ::SetTimer(hwnd(), kCountdownTimer, g_tickMs.load(), nullptr);
    return true;
  }

  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    if (message != WM_TIMER || wParam != kCountdownTimer)
      return std::nullopt;
    if (countdown_ < 1) {
      ::KillTimer(hwnd(), kCountdownTimer);
      OnOK();  // nobody answered: the message counts as acknowledged
    } else {
      --countdown_;
      SetItemText(IDC_MESSAGE_COUNTDOWN, std::to_string(countdown_));
    }
    return 0;
  }

  void OnOK() override {
    ::KillTimer(hwnd(), kCountdownTimer);
    g_checkValue = IsChecked(IDC_MESSAGE_CHECK) ? 1 : 0;
    EndDialog(IDOK);
  }

  void OnCancel() override {
    ::KillTimer(hwnd(), kCountdownTimer);
    EndDialog(IDCANCEL);
  }

 private:
  void LabelButtons() {
    unsigned first = text_id::kButtonOk;
    unsigned second = text_id::kButtonCancel;
    bool both = true;
    if (kind_ == kMessageYesNo) {
      first = text_id::kButtonYes;
      second = text_id::kButtonNo;
    } else if (kind_ != kMessageOkCancel) {
      both = false;
    }
    SetItemText(IDOK, LoadResourceText(first));
    ShowItem(IDOK, true);
    if (both) {
      SetItemText(IDCANCEL, LoadResourceText(second));
      ShowItem(IDCANCEL, true);
      return;
    }
    // A single button takes the place of the second one, at the dialog's right edge.
    ShowItem(IDCANCEL, false);
    const RECT place = PlaceOf(Item(IDCANCEL));
    ::SetWindowPos(Item(IDOK), nullptr, place.left, place.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The template leaves room for five lines of text and the check box; a shorter message, or
  // one without a check box, gives the room back so that the buttons sit below the text.
  void FitToText() {
    const HWND text = Item(IDC_MESSAGE_TEXT);
    const RECT area = PlaceOf(text);
    const int width = area.right - area.left;
    const int available = area.bottom - area.top;
    const std::wstring wide = platform::WideFromUtf8(text_);
    const HDC dc = ::GetDC(text);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(text, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, width, 0};
    ::DrawTextW(dc, wide.empty() ? L" " : wide.c_str(), -1, &needed,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, previous);
    ::ReleaseDC(text, dc);
    const int height =
        std::clamp(static_cast<int>(needed.bottom), static_cast<int>(metrics.tmHeight), available);
    const int textShrink = available - height;
    int rowShrink = textShrink;
    if (!withCheckBox_) {
      rowShrink += PlaceOf(Item(IDOK)).top - PlaceOf(Item(IDC_MESSAGE_CHECK)).top;
    }
    if (rowShrink <= 0)
      return;
    ::SetWindowPos(text, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    MoveUp(IDC_MESSAGE_CHECK, textShrink);
    for (const int id : {IDC_MESSAGE_COUNTDOWN, IDOK, IDCANCEL})
      MoveUp(id, rowShrink);
    RECT frame;
    ::GetWindowRect(hwnd(), &frame);
    ::SetWindowPos(hwnd(), nullptr, frame.left, frame.top + rowShrink / 2, frame.right - frame.left,
                   frame.bottom - frame.top - rowShrink, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  RECT PlaceOf(HWND control) const {
    RECT place;
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&place), 2);
    return place;
  }

  void MoveUp(int id, int by) {
    const HWND control = Item(id);
    const RECT place = PlaceOf(control);
    ::SetWindowPos(control, nullptr, place.left, place.top - by, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  std::string text_;
  int kind_;
  bool withCheckBox_;
  std::string checkText_;
  int checkState_;
  int countdown_ = kMessageCountdownStart;
};

}  // namespace

int ClientMessageBox(std::string_view text, int kind, bool withCheckBox, std::string_view checkText,
                     int checkState, HWND parent) {
  CMessageDlg dialog(text, kind, withCheckBox, checkText, checkState);
  return static_cast<int>(dialog.DoModal(parent));
}

int MessageBoxCheckValue() {
  return g_checkValue;
}

void SetMessageBoxTickPeriod(std::chrono::milliseconds period) {
  g_tickMs = static_cast<unsigned>(period.count() > 0 ? period.count() : 1);
}

int __stdcall LibraryMessageBox(const char* text, int kind, int withCheckBox, const char* checkText,
                                int checkState, HWND parent) {
  // The library's texts are in the system code page.
  return ClientMessageBox(
      platform::Utf8FromSystemText(text != nullptr ? text : ""), kind, withCheckBox != 0,
      platform::Utf8FromSystemText(checkText != nullptr ? checkText : ""), checkState, parent);
}

}  // namespace quorin::client
