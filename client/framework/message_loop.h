// The message loop of a user-interface thread, which several windows join: message filters
// see every message that any loop of the thread takes (the application's loop, every modal
// dialog's loop, the progress window's pump) before it is dispatched, and idle handlers run
// when the application's loop finds the queue empty.
#pragma once

#include <windows.h>

#include <vector>

namespace quorin::client {

class MessageFilter {
 public:
  // True when the message was handled: the loop neither translates nor dispatches it.
  virtual bool PreTranslateMessage(MSG& message) = 0;
  virtual ~MessageFilter() = default;
};

class IdleHandler {
 public:
  // Runs when the queue is empty. True asks for another run before the loop waits again.
  virtual bool OnIdle() = 0;
  virtual ~IdleHandler() = default;
};

// One per user-interface thread: it is the thread's loop from construction to destruction
// (a nested one stands in for the former until it ends).
class CMessageLoop {
 public:
  CMessageLoop();
  ~CMessageLoop();
  CMessageLoop(const CMessageLoop&) = delete;
  CMessageLoop& operator=(const CMessageLoop&) = delete;

  // The loop of the calling thread, or null.
  static CMessageLoop* ForThisThread();

  // Filters are asked newest first. Adding one twice has no effect; removing one that is not
  // there neither. Filters and handlers may add and remove themselves while they run.
  void AddMessageFilter(MessageFilter* filter);
  void RemoveMessageFilter(MessageFilter* filter);
  void AddIdleHandler(IdleHandler* handler);
  void RemoveIdleHandler(IdleHandler* handler);

  // True when a filter handled the message.
  bool PreTranslateMessage(MSG& message);
  // Runs every idle handler once; true when one asked for more.
  bool RunIdleHandlers();

  // Takes and dispatches messages until WM_QUIT; returns its exit code.
  int Run();

 private:
  std::vector<MessageFilter*> filters_;
  std::vector<IdleHandler*> idleHandlers_;
  CMessageLoop* former_;
};

// What every loop of the client does with a message before dispatching it: the thread's
// filters, then the keyboard navigation of the dialog the message belongs to. True when
// handled (do not dispatch).
bool PreTranslateForThread(MSG& message);

// PreTranslateForThread, then TranslateMessage and DispatchMessage when not handled.
void ProcessMessage(MSG& message);

// The top-level dialog window of a message's window, if it is a dialog; for keyboard
// navigation (IsDialogMessage) in message loops.
HWND DialogOfMessage(const MSG& message);

}  // namespace quorin::client
