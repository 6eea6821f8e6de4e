// The hand cursor shown over the grid's expanders: cursor 106 of "\winhlp32.exe" in the Windows
// directory, where that program still has it; otherwise (current Windows, Wine) the system's
// own hand cursor.
#pragma once

#include <windows.h>

#include "client/framework/gdi_objects.h"

namespace quorin::client {

class HandCursor {
 public:
  // Loads the cursor: a copy of winhlp32.exe's (the library is freed again at once) or the
  // system's shared one.
  HandCursor();

  HCURSOR get() const { return own_ ? own_.get() : shared_; }
  // True when the cursor came from winhlp32.exe.
  bool FromHelpProgram() const { return static_cast<bool>(own_); }

 private:
  UniqueCursor own_;
  HCURSOR shared_ = nullptr;
};

// The font of the grid at `dpi`: the system's message font with the screen's character set,
// its face "Tahoma" when the system has a family of that name, else "MS Sans Serif".
UniqueFont ChooseGridFont(UINT dpi);

}  // namespace quorin::client
