#include "client/app/quorin_app.h"

#include "client/app/activity_record.h"

#include <commctrl.h>
#include <ole2.h>

#include <atomic>

#include "client/app/client_arguments.h"
#include "client/app/client_clock.h"
#include "client/app/message_dialog.h"
#include "client/app/outside_components.h"
#include "client/app/product_title.h"
#include "client/app/quorin_dlg.h"
#include "client/app/start_up_steps.h"
#include "client/framework/resource_module.h"
#include "client/local/settings.h"
#include "client/local/shortcuts.h"
#include "client/monitor/confirmation.h"
#include "client/monitor/status_refresh.h"
#include "client/monitor/task_reaper.h"
#include "client/protocol/provider_config.h"
#include "client/protocol/request_environment.h"
#include "client/record/client_context.h"
#include "client/texts/client_texts.h"
#include "client/texts/command_tokens.h"
#include "client/texts/reply_codes.h"
#include "client/texts/string_table.h"
#include "common/text_tools.h"
#include "platform/program_path.h"
#include "platform/shell_folders.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

std::atomic<std::uint32_t> g_mainThreadId{0};

constexpr const char* kSkinMissing =
    "Could not initialize ActiveSkin control.\nPlease make sure it is installed properly.";

}  // namespace

std::uint32_t MainThreadId() {
  return g_mainThreadId;
}

CQuorinFreeApp::CQuorinFreeApp() = default;

CQuorinFreeApp::~CQuorinFreeApp() {
  ExitCleanUp();
}

bool CQuorinFreeApp::InitInstance() {
  StartUp();
  return false;
}

// Each early "return false" ends the process without a main window.
bool CQuorinFreeApp::StartUp() {
  // The resource library serves every window and text from here on.
  resources_.reset(::LoadLibraryW(L"uires.dll"));
  if (!resources_) {
    ::MessageBoxW(nullptr, L"can't load resource!", L"QuorinFree", MB_OK);
    return false;
  }
  SetResourceModule(resources_.get());
  CDialogBase::SetInitHook(&ApplySkinTo);
  StartActivityRecordFromEnvironment();

  Settings& settings = ProcessSettings();
  const std::string version = settings.GetCurrentVersion();
  SetProductTitle(FormatProductTitle(LoadResourceText(text_id::kProductTitleFormat), version));

  // One client per version: a second start shows the first one's window instead.
  if (const HWND running = FindRunningClient(ProductTitle())) {
    ::ShowWindow(running, SW_SHOWNORMAL);
    ::SetForegroundWindow(running);
    return false;
  }

  const std::string updateText = LoadResourceText(text_id::kAutoUpdateText);
  if (DoAutoUpdate(updateText.c_str(), HKEY_LOCAL_MACHINE, std::string(kSettingsKey).c_str()) !=
      0) {
    return false;  // the update component took over
  }

  oleStarted_ = SUCCEEDED(::OleInitialize(nullptr));
  network_ = std::make_unique<platform::NetworkSession>();
  if (!network_->ok()) {
    ClientMessageBox("网络初始化失败");
    return false;
  }

  // Language.ini and the skin files are found relative to the program.
  if (const auto directory = platform::ProgramDirectory()) {
    ::SetCurrentDirectoryW(platform::WideFromUtf8(*directory).c_str());
  }

  const ResourceStringTable strings;
  ProcessClientTexts().Fill(strings);
  ProcessReplyCodes().Fill(strings);
  SetDdnsHostName(CutText(UpdateHostPrimary(settings), 127));

  if (!skinHost_.Create() || skinHost_.hwnd() == nullptr || SkinObject() == nullptr) {
    ClientMessageBox(kSkinMissing);
  }

  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
  ::InitCommonControlsEx(&controls);

  // The update batch restarts the client with the batch's own path, quoted: delete it.
  if (const auto file = FileToDeleteAtStart(CommandArguments()))
    platform::DeleteFileAt(*file);

  MigrateOldShortcuts(settings, SystemShortcutFolders());

  if (settings.Vendor() == kVendorBuild) {
    const auto account = FetchVendorAccount();
    if (!account || account->user.empty())
      return false;
    settings.SetAutoLogin(true);
  }

  // Installed before the main window starts the monitor, removed after the monitor stopped.
  InstallClientClock(ParseClientArguments(ProcessArguments()).timeScale);

  CQuorinFreeDlg dialog;
  mainDialog_ = &dialog;
  g_mainThreadId = ::GetCurrentThreadId();
  dialog.DoModal(nullptr);
  mainDialog_ = nullptr;
  return false;
}

bool CQuorinFreeApp::PreTranslateMessage(MSG& message) {
  if (message.message == kWmStatusRefresh && mainDialog_ != nullptr)
    mainDialog_->Refresh();
  return CAppBase::PreTranslateMessage(message);
}

void CQuorinFreeApp::ExitCleanUp() {
  if (exitGuard_ > 0)
    return;
  ReleaseSkinObject();
  skinHost_.DestroyWindow();
  // Every request is stopped first, so the monitoring threads end within moments instead of
  // at their servers' time-outs; none of them is killed.
  StopProcessRequests();
  GetClientContext().StopWatchdog();
  ProcessConfirmations().StopAll();
  ProcessTaskReaper().WaitForAll();
  UninstallClientClock();
  ++exitGuard_;
}

int CQuorinFreeApp::ExitInstance() {
  ExitCleanUp();
  SetResourceModule(nullptr);
  resources_.reset();
  network_.reset();
  if (oleStarted_)
    ::OleUninitialize();
  oleStarted_ = false;
  return CAppBase::ExitInstance();
}

}  // namespace quorin::client
