#include "platform/elevated_run.h"

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/program_folder.h"
#include "platform/win32/service_calls.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// The shell may hand the start to a COM object of its own; the calling thread needs an
// apartment for that (the single-threaded one the shell documents), kept only for this call.
class ShellApartment {
 public:
  ShellApartment()
      : initialised_(SUCCEEDED(
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ShellApartment() {
    if (initialised_)
      ::CoUninitialize();
  }
  ShellApartment(const ShellApartment&) = delete;
  ShellApartment& operator=(const ShellApartment&) = delete;

 private:
  bool initialised_;
};

// A bare program name means the program beside this one.
std::optional<std::wstring> ProgramFile(std::string_view program) {
  if (program.empty())
    return std::nullopt;
  if (program.find_first_of("\\/:") != std::string_view::npos)
    return WideFromUtf8(program);
  const std::optional<std::string> folder = ProgramFolder();
  if (!folder)
    return std::nullopt;
  return WideFromUtf8(*folder + std::string(program));
}

}  // namespace

ElevatedRunResult RunElevated(std::string_view program, std::string_view parameters,
                              std::chrono::milliseconds limit, void* ownerWindow) {
  const std::optional<std::wstring> file = ProgramFile(program);
  if (!file)
    return {};
  const std::wstring wideParameters = WideFromUtf8(parameters);
  const ShellApartment apartment;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // NOCLOSEPROCESS: the process handle to wait on. NOASYNC: the start is complete when the
  // call returns. FLAG_NO_UI: a failure is reported by the caller's own message.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = static_cast<HWND>(ownerWindow);
  info.lpVerb = L"runas";
  info.lpFile = file->c_str();
  info.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
  info.nShow = SW_HIDE;
  if (!CurrentServiceCalls().shellExecuteEx(&info)) {
    const DWORD error = ::GetLastError();
    return {
        error == ERROR_CANCELLED ? ElevatedRunStatus::kDeclined : ElevatedRunStatus::kNotStarted,
        -1};
  }
  // The shell gives no handle when it handed the start to another program (a document's
  // handler); for an .exe it always gives one.
  const UniqueKernelHandle process(info.hProcess);
  if (!process)
    return {ElevatedRunStatus::kNotStarted, -1};
  const auto milliseconds =
      static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(limit.count(), INFINITE - 1));
  if (::WaitForSingleObject(process.get(), milliseconds) != WAIT_OBJECT_0)
    return {ElevatedRunStatus::kTimedOut, -1};
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode))
    return {ElevatedRunStatus::kNotStarted, -1};
  return {ElevatedRunStatus::kFinished, static_cast<int>(exitCode)};
}

}  // namespace quorin::platform
