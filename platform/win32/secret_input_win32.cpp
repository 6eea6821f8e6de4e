#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/secret_input.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// The console and its mode before the echo was turned off, for the control handler: Ctrl-C in
// the middle of the read ends the program, and must not leave the console without echo.
HANDLE g_console = nullptr;
DWORD g_savedMode = 0;

BOOL WINAPI RestoreEchoOnControl(DWORD) {
  ::SetConsoleMode(g_console, g_savedMode);
  return FALSE;  // the next handler, in the end the system's, ends the program as usual
}

// Puts the console into character input without echo for its lifetime: the line is then
// gathered here, so nothing typed is ever shown, whatever the console does with the echo of
// an edited line. Ctrl-C stays a control event.
class EchoOff {
 public:
  explicit EchoOff(HANDLE console) {
    if (!::GetConsoleMode(console, &g_savedMode))
      return;
    g_console = console;
    ::SetConsoleCtrlHandler(RestoreEchoOnControl, TRUE);
    const DWORD quiet = (g_savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT)) |
                        ENABLE_PROCESSED_INPUT;
    active_ = ::SetConsoleMode(console, quiet) != 0;
    if (!active_)
      ::SetConsoleCtrlHandler(RestoreEchoOnControl, FALSE);
  }
  ~EchoOff() {
    if (!active_)
      return;
    ::SetConsoleMode(g_console, g_savedMode);
    ::SetConsoleCtrlHandler(RestoreEchoOnControl, FALSE);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// One line typed at the console, up to Enter; Backspace takes back the last character. The
// characters come as UTF-16 and become the programs' UTF-8; every UTF-16 unit makes at least
// one byte, so more than `maxLength` units can never fit and are not kept.
LineRead ReadConsoleLine(HANDLE console, std::size_t maxLength, std::string& line) {
  std::wstring typed;
  bool tooLong = false;
  std::array<wchar_t, 64> buffer{};
  for (;;) {
    DWORD count = 0;
    if (!::ReadConsoleW(console, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr))
      return LineRead::kFailed;
    if (count == 0)
      return LineRead::kFailed;
    for (const wchar_t c : std::wstring_view(buffer.data(), count)) {
      if (c == L'\r' || c == L'\n') {
        line = Utf8FromWide(typed);
        if (tooLong || line.size() > maxLength) {
          line.clear();
          return LineRead::kTooLong;
        }
        return LineRead::kLine;
      }
      if (c == L'\b') {
        // A character outside the basic plane is two units.
        if (!typed.empty() && typed.back() >= 0xDC00 && typed.back() <= 0xDFFF)
          typed.pop_back();
        if (!typed.empty())
          typed.pop_back();
      } else if (typed.size() < maxLength) {
        typed.push_back(c);
      } else {
        tooLong = true;
      }
    }
  }
}

}  // namespace

LineRead ReadSecretLine(std::string_view prompt, std::size_t maxLength, std::string& line,
                        bool& fromTerminal) {
  line.clear();
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  fromTerminal =
      input != nullptr && input != INVALID_HANDLE_VALUE && ::GetConsoleMode(input, &mode) != 0;
  if (!fromTerminal)
    return ReadFirstLine(stdin, maxLength, line);
  // The echo goes off before the prompt appears, so nothing typed after the prompt shows.
  const EchoOff echoOff(input);
  if (!echoOff.active())
    return LineRead::kFailed;
  std::fwrite(prompt.data(), 1, prompt.size(), stderr);
  std::fflush(stderr);
  const LineRead result = ReadConsoleLine(input, maxLength, line);
  // Enter was not echoed either.
  std::fputs("\n", stderr);
  return result;
}

}  // namespace quorin::platform
