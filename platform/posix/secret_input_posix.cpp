#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "platform/secret_input.h"

namespace quorin::platform {
namespace {

// The terminal's settings before the echo was turned off, for the signal handler: a signal
// that ends the program in the middle of the read must not leave the shell without echo.
struct termios g_savedTerminal {};

// Ctrl-Z is left alone: the shell puts its own terminal settings back when it stops a job.
constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreTerminalAndResignal(int signalNumber) {
  // tcsetattr, signal and raise are async-signal-safe.
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

// Turns the echo off for its lifetime, and catches the signals that would otherwise end the
// program while it is off.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0)
      return;
    struct sigaction action {};
    action.sa_handler = RestoreTerminalAndResignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
      ::sigaction(kEndingSignals[i], &action, &previous_[i]);
    struct termios quiet = g_savedTerminal;
    // The line end is still echoed, so that what follows starts on a line of its own.
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    if (!active_)
      RestoreSignals();
  }
  ~EchoOff() {
    if (!active_)
      return;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    RestoreSignals();
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool active() const { return active_; }

 private:
  void RestoreSignals() {
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
      ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }
  std::array<struct sigaction, kEndingSignals.size()> previous_{};
  bool active_ = false;
};

}  // namespace

LineRead ReadSecretLine(std::string_view prompt, std::size_t maxLength, std::string& line,
                        bool& fromTerminal) {
  line.clear();
  fromTerminal = ::isatty(STDIN_FILENO) == 1;
  if (!fromTerminal)
    return ReadFirstLine(stdin, maxLength, line);
  // The echo goes off before the prompt appears, so nothing typed after the prompt shows.
  const EchoOff echoOff;
  if (!echoOff.active())
    return LineRead::kFailed;
  std::fwrite(prompt.data(), 1, prompt.size(), stderr);
  std::fflush(stderr);
  return ReadFirstLine(stdin, maxLength, line);
}

}  // namespace quorin::platform
