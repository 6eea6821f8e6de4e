// The log dialog (template 138): the event log's entries in a three-column list with an image
// per entry type, and the command that empties the file.
#pragma once

#include <windows.h>

#include "client/framework/dialog_base.h"
#include "client/framework/gdi_objects.h"
#include "client/local/settings.h"
#include "client/record/client_context.h"

namespace quorin::client {

class CLogViewerDlg : public CDialogBase {
 public:
  CLogViewerDlg(ClientContext& context, const Settings& settings);
  ~CLogViewerDlg() override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;

 private:
  void SetUpList();
  // Shows the oldest "maxLog" entries of the file, the newest of them on top.
  void FillList();

  ClientContext& context_;
  const Settings& settings_;
  // The list shares the image list (LVS_SHAREIMAGELISTS), so the dialog releases it.
  UniqueImageList images_;
};

// Opens the log dialog modally over `owner`; returns the dialog's result.
INT_PTR ShowLogViewer(HWND owner);

}  // namespace quorin::client
