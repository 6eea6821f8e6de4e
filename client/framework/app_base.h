// The application object of a dialog-based program: instance initialisation, the message
// loop with its pre-translation hook, and the exit. One object per process; its thread is the
// user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quorin::client {

class CAppBase {
 public:
  CAppBase();
  virtual ~CAppBase();
  CAppBase(const CAppBase&) = delete;
  CAppBase& operator=(const CAppBase&) = delete;

  // Runs the program: InitInstance, then (only when it returned true) the message loop until
  // WM_QUIT, then ExitInstance, whose result is the process's exit code. `arguments` is the
  // command line after the program name, as WinMain receives it.
  int Run(std::wstring_view arguments);

  // The object of this process, or null outside Run's lifetime.
  static CAppBase* Current();

  // The command line after the program name, in UTF-8.
  const std::string& CommandArguments() const { return arguments_; }
  DWORD ThreadId() const { return threadId_; }

  // Every message that a loop of the user-interface thread retrieves passes here first,
  // thread messages included. True means handled: the loop neither translates nor dispatches
  // it. The base gives dialogs their keyboard navigation.
  virtual bool PreTranslateMessage(MSG& message);

 protected:
  virtual bool InitInstance() = 0;
  virtual int ExitInstance() { return 0; }

 private:
  std::string arguments_;
  DWORD threadId_ = 0;
};

// The pre-translation that loops on any thread use: the application's on its own thread, the
// dialog navigation alone on every other thread (message dialogs of worker threads).
bool PreTranslateForThread(MSG& message);

}  // namespace quorin::client
