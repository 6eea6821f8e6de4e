// The client's application object: the start-up sequence, the status-refresh pre-filter and
// the exit clean-up.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "client/app/skin_host.h"
#include "client/framework/app_base.h"
#include "platform/network.h"
#include "platform/win32/unique_handle.h"

namespace quorin::client {

class CQuorinFreeDlg;

// The user-interface thread, known once the main window runs; 0 before.
std::uint32_t MainThreadId();

class CQuorinFreeApp : public CAppBase {
 public:
  CQuorinFreeApp();
  ~CQuorinFreeApp() override;

  bool PreTranslateMessage(MSG& message) override;

  // Releases the skin, closes the skin host and stops the address monitoring; runs once, later
  // calls return at once.
  void ExitCleanUp();

 protected:
  // Runs the whole client: always false, as no message loop is to follow.
  bool InitInstance() override;
  int ExitInstance() override;

 private:
  bool StartUp();

  SkinHostDialog skinHost_;
  platform::UniqueModule resources_;
  bool oleStarted_ = false;
  std::unique_ptr<platform::NetworkSession> network_;
  CQuorinFreeDlg* mainDialog_ = nullptr;
  int exitGuard_ = 0;
};

}  // namespace quorin::client
