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

// Turns the console's echo off for its lifetime.
class EchoOff {
 public:
  explicit EchoOff(HANDLE console) {
    if (!::GetConsoleMode(console, &g_savedMode))
      return;
    g_console = console;
    ::SetConsoleCtrlHandler(RestoreEchoOnControl, TRUE);
    const DWORD quiet = (g_savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
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

// One line typed at the console. Its characters come as UTF-16 and become the programs' UTF-8;
// every UTF-16 unit makes at least one byte, so more than `maxLength` + 1 units (a "\r" may
// end the line) can never fit and are not kept.
LineRead ReadConsoleLine(HANDLE console, std::size_t maxLength, std::string& line) {
  std::wstring typed;
  bool tooLong = false;
  std::array<wchar_t, 128> buffer{};
  for (;;) {
    DWORD count = 0;
    if (!::ReadConsoleW(console, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr))
      return LineRead::kFailed;
    if (count == 0)
      return typed.empty() ? LineRead::kNothing : LineRead::kFailed;
    const std::wstring_view chunk(buffer.data(), count);
    const std::size_t end = chunk.find(L'\n');
    const std::wstring_view part = chunk.substr(0, end);
    if (typed.size() + part.size() <= maxLength + 1)
      typed.append(part);
    else
      tooLong = true;
    if (end != std::wstring_view::npos)
      break;
  }
  if (!typed.empty() && typed.back() == L'\r')
    typed.pop_back();
  line = Utf8FromWide(typed);
  if (tooLong || line.size() > maxLength) {
    line.clear();
    return LineRead::kTooLong;
  }
  return LineRead::kLine;
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
  // The line end typed was not echoed either.
  std::fputs("\n", stderr);
  return result;
}

}  // namespace quorin::platform
