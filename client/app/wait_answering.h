// Waiting for a slow step (a program started with administrator rights, whose system prompt may
// stay up for as long as the user reads it) without freezing a window: the step runs on a
// worker while the window's thread keeps dispatching its messages, so the windows still paint
// and move. The waiting window is disabled meanwhile, as under a modal dialog, so that no click
// starts the step a second time.
#pragma once

#include <windows.h>

#include <functional>

namespace quorin::client {

// Runs `work` on a worker thread and returns once it is done; until then dispatches the
// messages of this thread with `window` disabled. A WM_QUIT seen meanwhile is posted again
// afterwards, for the message loop it was meant for. When no worker can be started, runs
// `work` on this thread.
void RunWhileAnswering(HWND window, const std::function<void()>& work);

}  // namespace quorin::client
