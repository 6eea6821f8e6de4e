#include "tests/installer/setup_test_support.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "resources/resource.h"
#include "tests/shell/window_test_support.h"

namespace quorin::setuptest {
namespace {

using shelltest::WaitUntil;

std::wstring SpecialFolder(int id) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path)))
    return std::wstring();
  return path;
}

struct TitleSearch {
  const std::wstring* title;
  HWND found = nullptr;
};

BOOL CALLBACK CheckClientWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TitleSearch*>(parameter);
  if (::GetPropW(window, search->title->c_str()) == reinterpret_cast<HANDLE>(1)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

Program::Program(const std::wstring& commandLine) {
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
  }
}

Program::~Program() {
  if (process_ == nullptr)
    return;
  if (Running()) {
    ::TerminateProcess(process_, 1);
    ::WaitForSingleObject(process_, 10000);
  }
  ::CloseHandle(process_);
}

bool Program::Running() const {
  return process_ != nullptr && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::WaitForExit(DWORD limitMs) {
  if (process_ == nullptr || ::WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

std::optional<DWORD> RunToEnd(const std::wstring& commandLine) {
  Program program(commandLine);
  return program.WaitForExit();
}

std::wstring ProgramFilesFolder() {
  return SpecialFolder(CSIDL_PROGRAM_FILES);
}
std::wstring CommonProgramsFolder() {
  return SpecialFolder(CSIDL_COMMON_PROGRAMS);
}

bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileText(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::string();
  std::string text(4096, '\0');
  DWORD read = 0;
  ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  ::CloseHandle(file);
  text.resize(read);
  return text;
}

void WriteFileText(const std::wstring& path, const std::string& text) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::wstring ShortcutTarget(const std::wstring& link) {
  std::wstring target;
  const HRESULT com = ::CoInitialize(nullptr);
  IShellLinkW* shellLink = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t path[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
          SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) {
        target = path;
      }
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(com))
    ::CoUninitialize();
  return target;
}

std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key,
                                         const std::wstring& name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data);
}

std::optional<DWORD> RegistryNumber(HKEY root, const std::wstring& key, const std::wstring& name) {
  DWORD data = 0;
  DWORD size = sizeof data;
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return data;
}

bool RegistryKeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(opened);
  return true;
}

void SetRegistryText(HKEY root, const std::wstring& key, const std::wstring& name,
                     const std::wstring& value) {
  ::RegSetKeyValueW(root, key.c_str(), name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool ServiceInstalled(const std::wstring& name) {
  const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr)
    return false;
  const SC_HANDLE service = ::OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS);
  if (service != nullptr)
    ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return service != nullptr;
}

bool StartServiceAndWait(const std::wstring& name) {
  const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr)
    return false;
  const SC_HANDLE service =
      ::OpenServiceW(manager, name.c_str(), SERVICE_START | SERVICE_QUERY_STATUS);
  bool running = false;
  if (service != nullptr && ::StartServiceW(service, 0, nullptr)) {
    running = WaitUntil([&] {
      SERVICE_STATUS status{};
      return ::QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
    });
  }
  if (service != nullptr)
    ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return running;
}

std::optional<ULONGLONG> FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = L"Z:" + shelltest::Wide(unixPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

HWND WaitForClientWindow(const std::wstring& productTitle, DWORD limitMs) {
  TitleSearch search{&productTitle};
  WaitUntil(
      [&] {
        ::EnumWindows(CheckClientWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      std::chrono::milliseconds(limitMs));
  return search.found;
}

bool ConfirmClientExit(DWORD clientProcessId, DWORD limitMs) {
  HWND question = nullptr;
  WaitUntil(
      [&] {
        question = shelltest::FindWindowWithControls(clientProcessId,
                                                     {IDC_MESSAGE_TEXT, IDC_MESSAGE_COUNTDOWN});
        return question != nullptr;
      },
      std::chrono::milliseconds(limitMs));
  if (question == nullptr)
    return false;
  shelltest::PostButtonClick(question, IDOK);
  return true;
}

}  // namespace quorin::setuptest
