// A small dialog framework over the Win32 dialog manager: dialogs from templates of the
// resource library (ResourceModule()), run modally or modeless, with virtual handlers and data
// exchange between controls and members. docs/window-framework.md explains how to use it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "client/framework/window_base.h"

namespace quorin::client {

// Copies values between a dialog's controls and the dialog's members, in the direction that
// UpdateData asked for. Texts are UTF-8 on the members' side.
class DataExchange {
 public:
  DataExchange(HWND dialog, bool saving);

  bool saving() const { return saving_; }
  // False once a check refused a control's content; later calls then do nothing.
  bool ok() const { return ok_; }

  // An edit, static or combo box text. When saving, `maxBytes` (if not 0) cuts the text.
  void Text(int controlId, std::string& value, std::size_t maxBytes = 0);
  // A check box: 1 checked, 0 not (an indeterminate box reads as 2).
  void Check(int controlId, int& value);
  // A check box as a flag: checked or not (indeterminate counts as checked).
  void Check(int controlId, bool& value);
  // Ties a control object to the dialog's control: the first exchange that finds the control
  // subclasses it, so that the object runs it from then on. Saving does nothing.
  void Control(int controlId, CWindowBase& control);
  // A whole number within [minimum, maximum]. When saving, other content is refused with the
  // range message, the control gets the focus and ok() turns false.
  void Number(int controlId, int& value, int minimum, int maximum);

 private:
  void Refuse(int controlId, const std::wstring& message);

  HWND dialog_;
  bool saving_;
  bool ok_ = true;
};

class CDialogBase : public CWindowBase {
 public:
  explicit CDialogBase(int templateId);
  virtual ~CDialogBase();
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // Runs the dialog modally: the owner (when it is a window) is disabled, messages are pumped
  // through the application's PreTranslateMessage until EndDialog, then the window is
  // destroyed. Returns the EndDialog result, or -1 when the window could not be made or was
  // destroyed without an answer. An owner that is no longer a window counts as none.
  INT_PTR DoModal(HWND owner = nullptr);

  // Creates the dialog modeless; it shows only when its template says WS_VISIBLE or someone
  // shows it. The application's message loop serves it.
  bool Create(HWND owner = nullptr);

  // Ends a modal dialog with `result`, or destroys a modeless one.
  void EndDialog(INT_PTR result);

  int templateId() const { return templateId_; }

  // Runs DoDataExchange: `save` copies controls to members, otherwise members to controls.
  // False when a check refused a control's content.
  bool UpdateData(bool save);

  // Control helpers; texts are UTF-8.
  HWND Item(int id) const;
  void SetItemText(int id, std::string_view text);
  std::string ItemText(int id) const;
  void ShowItem(int id, bool visible);
  void EnableItem(int id, bool enabled);
  void SetCheck(int id, bool checked);
  bool IsChecked(int id) const;
  void SetCaption(std::string_view text);

  // A function that every dialog runs on its window right after the window exists and before
  // OnInitDialog (the client passes the window to its skin control). Set it once at start-up.
  using InitHook = void (*)(HWND window);
  static void SetInitHook(InitHook hook);
  // Runs the hook on `window`: for the client's windows that are not dialogs.
  static void RunInitHook(HWND window);

 protected:
  // Called once the controls exist. The base writes the members to the controls. Return true
  // to let the system give the focus to the first control.
  virtual bool OnInitDialog();
  // A WM_COMMAND; return true when handled. Unhandled IDOK and IDCANCEL go to OnOK/OnCancel.
  virtual bool OnCommand(int id, int notifyCode, HWND control);
  // Enter and the OK button: by default the controls are saved and the dialog ends with IDOK.
  virtual void OnOK();
  // Escape, the close box and the Cancel button: by default the dialog ends with IDCANCEL.
  virtual void OnCancel();
  // Every message, before the command handling above; return a value when handled. For the
  // messages whose result is the dialog procedure's own return value (WM_CTLCOLOR...,
  // WM_QUERYDRAGICON and the like) the value is returned directly, for all others it becomes
  // the message result. Nothing leaves the message to the dialog manager.
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void DoDataExchange(DataExchange& exchange);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void RunModalLoop();

  const int templateId_;
  bool modal_ = false;
  bool ending_ = false;
  INT_PTR result_ = -1;
};

}  // namespace quorin::client
