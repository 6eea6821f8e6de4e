// TLDDNSService.exe for the service tests: registers itself as the service "TLDDNSService"
// with "-Service", stops and removes it with "-UnRegServer", and when the service manager starts
// it, runs as a service that only answers controls.
//
// Test switches: the environment variable QUORIN_TEST_SERVICE_REFUSE=register or =remove makes
// the matching command fail without touching the service manager; "--interrogate-answer N" on
// the service's command line makes it report state N when it is interrogated, and "--name X"
// runs it as the service X instead of TLDDNSService.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr const wchar_t* kServiceName = L"TLDDNSService";

std::wstring g_runAs = kServiceName;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;
DWORD g_interrogateAnswer = 0;

bool Refused(const wchar_t* command) {
  wchar_t value[32] = {};
  return ::GetEnvironmentVariableW(L"QUORIN_TEST_SERVICE_REFUSE", value, 32) > 0 &&
         std::wcscmp(value, command) == 0;
}

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  const bool up = state == SERVICE_RUNNING || state == SERVICE_PAUSED;
  status.dwControlsAccepted = up ? SERVICE_ACCEPT_STOP : 0;
  ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      Report(SERVICE_STOP_PENDING);
      ::SetEvent(g_stopEvent);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      if (g_interrogateAnswer != 0)
        Report(g_interrogateAnswer);
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_statusHandle = ::RegisterServiceCtrlHandlerExW(g_runAs.c_str(), Handler, nullptr);
  if (g_statusHandle == nullptr)
    return;
  g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(g_stopEvent, INFINITE);
  Report(SERVICE_STOPPED);
}

int Register() {
  if (Refused(L"register"))
    return 1;
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring command = L"\"" + std::wstring(path) + L"\"";
  const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr)
    return 1;
  const SC_HANDLE service =
      ::CreateServiceW(manager, kServiceName, L"QuorinFree test service", SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  const bool ok = service != nullptr || ::GetLastError() == ERROR_SERVICE_EXISTS;
  if (service != nullptr)
    ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return ok ? 0 : 1;
}

int Remove() {
  if (Refused(L"remove"))
    return 1;
  const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr)
    return 1;
  const SC_HANDLE service =
      ::OpenServiceW(manager, kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  // As the real program does: a running service is stopped before it is removed (bounded).
  SERVICE_STATUS status{};
  if (service != nullptr && ::ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    for (int i = 0; i < 200 && ::QueryServiceStatus(service, &status) &&
                    status.dwCurrentState != SERVICE_STOPPED;
         ++i)
      ::Sleep(50);
  }
  const bool ok = service != nullptr && ::DeleteService(service);
  if (service != nullptr)
    ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wcscmp(argv[1], L"-Service") == 0)
    return Register();
  if (argc >= 2 && std::wcscmp(argv[1], L"-UnRegServer") == 0)
    return Remove();
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wcscmp(argv[i], L"--interrogate-answer") == 0) {
      g_interrogateAnswer = static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10));
    }
    if (std::wcscmp(argv[i], L"--name") == 0)
      g_runAs = argv[i + 1];
  }
  SERVICE_TABLE_ENTRYW table[] = {{g_runAs.data(), ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
