// The application object of a dialog-based program: instance initialisation, the message
// loop with its pre-translation hook, and the exit. One object per process; its thread is the
// user-interface thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "client/framework/message_loop.h"

namespace quorin::client {

class CAppBase : public MessageFilter {
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
  // The program's main window (windows without an owner of their own go over it); null
  // while there is none.
  HWND MainWindow() const { return mainWindow_; }
  void SetMainWindow(HWND window) { mainWindow_ = window; }

  // The user-interface thread's loop while Run runs (null before and after); windows add
  // their filters and idle handlers to it.
  CMessageLoop* MessageLoop() { return loop_ ? &*loop_ : nullptr; }

  // Every message that a loop of the user-interface thread retrieves passes here first (the
  // application is the loop's first filter), thread messages included. True means handled:
  // the loop neither translates nor dispatches it. The base handles nothing; the dialog
  // navigation follows the filters.
  bool PreTranslateMessage(MSG& message) override;

 protected:
  virtual bool InitInstance() = 0;
  virtual int ExitInstance() { return 0; }

 private:
  std::string arguments_;
  DWORD threadId_ = 0;
  HWND mainWindow_ = nullptr;
  std::optional<CMessageLoop> loop_;
};

}  // namespace quorin::client
