// Reading a password from the person at the keyboard without showing it, or from a pipe or a
// file when nobody is typing (a script, a service's credential).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace quorin::platform {

enum class LineRead {
  kLine,     // `line` holds the first line, without its line end (it may be empty)
  kNothing,  // the input ended before its first character
  kTooLong,  // the first line is longer than the limit; `line` is empty
  kFailed,   // the input could not be read
};

// Reads `stream` up to its first line end ("\n", a "\r" before it dropped) or its end, keeping
// at most `maxLength` characters. Reads no further than the first line end.
LineRead ReadFirstLine(std::FILE* stream, std::size_t maxLength, std::string& line);

// Reads one line of standard input. When it is a terminal (on Windows: a console), `prompt`
// goes to the standard error stream and what is typed is not echoed; the terminal's echo comes
// back afterwards, also when the read is interrupted (Ctrl-C). Otherwise the first line is read
// as it comes. `fromTerminal` tells which happened.
LineRead ReadSecretLine(std::string_view prompt, std::size_t maxLength, std::string& line,
                        bool& fromTerminal);

}  // namespace quorin::platform
