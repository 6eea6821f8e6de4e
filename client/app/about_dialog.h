// The about box (template 100): the product title with the version, the skin's picture and
// the "AboutDlg" texts of Language.ini.
#pragma once

#include "client/framework/dialog_base.h"
#include "client/framework/gdi_objects.h"

namespace quorin::client {

class CAboutDlg : public CDialogBase {
 public:
  CAboutDlg();
  ~CAboutDlg() override;

 protected:
  bool OnInitDialog() override;

 private:
  // Shown by the picture control; it outlives the window (DoModal destroys the window first).
  UniqueBitmap picture_;
};

}  // namespace quorin::client
