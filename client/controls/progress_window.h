// The progress window of a long piece of work (the self-update's download): a small topmost
// pop-up over the main window with a line of text, a progress bar and a cancel button. The
// work runs on the user-interface thread and calls Pump between its steps, which keeps the
// windows alive and notices a cancel.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "client/framework/gdi_objects.h"
#include "client/framework/window_base.h"

namespace quorin::client {

class CProgressWindow : public CWindowBase {
 public:
  CProgressWindow();
  ~CProgressWindow() override;

  // Shows the window centred over `parent` (null: the application's main window) with
  // `caption` (empty: "Progress") and a smooth bar or a segmented one. The parent is disabled
  // while the window exists. False when it could not be made.
  bool Create(HWND parent, std::string_view caption = {}, bool smooth = false);

  void SetRange(int lower, int upper, int step = 1);
  // Moves the bar; when the percentage changes the caption becomes "CAPTION [N%]".
  void SetPos(int value);
  // The text line (shown as it is: no "&" prefixes, no wrapping).
  void SetText(std::string_view text);
  void SetCancelText(std::string_view text);

  // Handles the thread's pending messages. Escape (when `cancelOnEscape`) or a click on the
  // cancel button (pressed and released inside it) cancels; a quit message is posted again
  // and ends the pumping. Returns at once after a cancel. False once cancelled or quitting.
  bool Pump(bool cancelOnEscape = true);
  bool Cancelled() const { return cancelled_; }
  // Ends the window (the parent is enabled again).
  void Close() { DestroyWindow(); }

  int Percent() const { return percent_; }
  HWND CancelButton() const { return button_; }
  HWND ProgressBar() const { return bar_; }
  HWND TextLine() const { return text_; }

 protected:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Cancel();
  void UpdateCaption();
  void LayOut();

  std::wstring caption_ = L"Progress";
  std::wstring cancelText_;
  int lower_ = 0;
  int upper_ = 100;
  int step_ = 1;
  int percent_ = -1;
  bool cancelled_ = false;
  HWND parent_ = nullptr;
  bool parentDisabled_ = false;
  HWND text_ = nullptr;
  HWND bar_ = nullptr;
  HWND button_ = nullptr;
  UniqueFont font_;
};

}  // namespace quorin::client
