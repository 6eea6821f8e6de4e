// The skin host: a never-shown dialog (template 152) that owns the process's skin object, and
// the skinning of every other dialog through it.
#pragma once

#include <windows.h>

#include "client/app/skin_object.h"
#include "client/framework/dialog_base.h"

namespace quorin::client {

// The dialog creates the skin control's object when it initialises; the object lives until
// ReleaseSkinObject. The control is made with CoCreateInstance rather than hosted as an
// ActiveX control in the template, which would need a full OLE container; the template keeps
// the control's place (1039) for a skin that wants to draw there.
class SkinHostDialog : public CDialogBase {
 public:
  SkinHostDialog();

 protected:
  bool OnInitDialog() override;
};

// The process's skin object, or null.
ISkinControl* SkinObject();
// Releases the object (exit clean-up); later skinning does nothing.
void ReleaseSkinObject();

// Passes a window to the skin object's ApplySkin when there is an object. Only the thread that
// created the object calls it: the control lives in that thread's COM apartment, and message
// dialogs of worker threads stay unskinned.
void ApplySkinTo(HWND window);

}  // namespace quorin::client
