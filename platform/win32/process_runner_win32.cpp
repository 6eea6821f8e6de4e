#include <windows.h>

#include <string>

#include "platform/process_runner.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {

int RunCommand(std::string_view commandLine, bool wait) {
  std::wstring line = WideFromUtf8(commandLine);
  if (line.empty())
    return kRunFailed;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // CreateProcessW may write into the command line, so it gets a buffer of its own.
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &info)) {
    return kRunFailed;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  if (!wait)
    return 0;
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0)
    return kRunFailed;
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode))
    return kRunFailed;
  return static_cast<int>(exitCode);
}

}  // namespace quorin::platform
