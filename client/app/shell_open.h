// The client's two ways of showing a web page: handing an address or a file to the shell
// (ShellExecute with a verb), and the modal HTML dialog. Both go through replaceable functions
// so that the tests of the installed client see what would have opened without a browser.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorin::client {

// `verb` empty means the shell's default verb for `target`; the target is shown normally.
using ShellOpenFunction = std::function<void(std::string_view verb, std::string_view target)>;
using HtmlPageFunction = std::function<void(std::string_view url)>;

// Replaces the process's functions; an empty function puts the system's back.
void SetShellOpenFunction(ShellOpenFunction function);
void SetHtmlPageFunction(HtmlPageFunction function);

// Asks the shell to run `verb` on `target` with no parameters and no working directory. A
// failure is ignored: the user sees that nothing opened.
void ShellOpen(std::string_view verb, std::string_view target);
// Shows `url` in the modal HTML dialog; returns when it was closed (or could not open).
void ShowHtmlPageOf(std::string_view url);

}  // namespace quorin::client
