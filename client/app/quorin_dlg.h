// The client's main window (template 102), in its first form: the login view with the status
// lines and the exit command. The full main window (login, domain grid, tray icon) replaces
// this class.
#pragma once

#include <windows.h>

#include "client/framework/dialog_base.h"
#include "client/framework/gdi_objects.h"

namespace quorin::client {

class CQuorinFreeDlg : public CDialogBase {
 public:
  CQuorinFreeDlg();
  ~CQuorinFreeDlg() override;

  // Shows the client record's status texts again (the status-refresh message).
  void Refresh();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  // Enter and Escape do nothing: the program ends only through its exit command.
  void OnOK() override {}
  void OnCancel() override {}
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void SetWindowIcons();
  void ShowLoginView(bool loginView);
  void SetMenuTexts();
  void Exit();

  UniqueIcon largeIcon_;
  UniqueIcon smallIcon_;
  UniqueBitmap settingsBitmap_;
};

}  // namespace quorin::client
