// Checks on what the login server names in a self-update offer. A file name becomes part of a
// path below the temporary directory, of a path below the program directory and of two lines
// of a batch file that the command interpreter runs, so a name that could leave those folders
// or end a quoted batch argument must never get that far.
#pragma once

#include <string_view>

namespace quorin::client {

enum class UpdateNameProblem {
  kNone,
  kEmpty,             // no name at all
  kRooted,            // "\x", "/x", "\\host\share\x", "C:\x", "C:x"
  kEmptyPart,         // "a//b", "a/", a part of blanks
  kDotPart,           // ".", "..", or a part ending in a dot or blank that Windows would drop
  kDeviceName,        // "NUL", "com1.txt": a device whatever the folder or extension
  kSpecialCharacter,  // a control character or one that the batch interpreter or copy acts on
};

// What is wrong with a file name of an update offer (a path relative to the offer's base
// address and to the program directory, with '/' or '\' between its parts); kNone when it is
// safe to use.
UpdateNameProblem CheckUpdateFileName(std::string_view name);

// True for an absolute "http://" or "https://" address with a host and nothing that a request
// line could not carry (blanks, control characters).
bool IsWebAddress(std::string_view address);

}  // namespace quorin::client
