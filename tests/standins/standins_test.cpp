// The stand-ins for the outside components, used the way the client and the update batch use
// them: the libraries loaded from a folder of their own, the programs started.
#include <windows.h>

#include <objbase.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "client/app/outside_components.h"
#include "client/app/skin_object.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {
namespace {

using namespace std::chrono_literals;

std::wstring Installed(const wchar_t* name) {
  return Environment(L"QUORIN_SHELL_INSTALL") + L"\\" + name;
}
std::wstring Built(const wchar_t* name) {
  return Environment(L"QUORIN_SHELL_BIN") + L"\\" + name;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename Function>
Function Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// An empty folder of its own, removed with everything in it at the end.
class Folder {
 public:
  Folder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    path_ = std::wstring(temp) + L"quorin-standin-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(++counter);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~Folder() {
    WIN32_FIND_DATAW entry;
    const HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        ::DeleteFileW((path_ + L"\\" + entry.cFileName).c_str());
      } while (::FindNextFileW(search, &entry));
      ::FindClose(search);
    }
    ::RemoveDirectoryW(path_.c_str());
  }
  std::wstring operator/(const wchar_t* name) const { return path_ + L"\\" + name; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Every process that this program starts, and every process those start, belongs to one job of
// the program's own, which counts each process as it is created: "nothing was started" is then
// a count that stayed the same, not a wait that saw nothing happen.
class StartedProcesses {
 public:
  static StartedProcesses& Get() {
    static StartedProcesses processes;
    return processes;
  }
  bool Counting() const { return counting_; }
  // Processes of the job so far (this program included), and those still running.
  DWORD Total() const { return Accounting().TotalProcesses; }
  DWORD Active() const { return Accounting().ActiveProcesses; }

 private:
  StartedProcesses() : job_(::CreateJobObjectW(nullptr, nullptr)) {
    counting_ = job_ != nullptr && ::AssignProcessToJobObject(job_, ::GetCurrentProcess());
  }
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION Accounting() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    ::QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &info, sizeof info,
                                nullptr);
    return info;
  }

  HANDLE job_;  // kept until the program ends: its processes stay in it
  bool counting_ = false;
};

// --- K4DDNSUtil.dll ---------------------------------------------------------------------

std::vector<std::string> g_reported;

int __stdcall RecordMessage(const char* text, int, int, const char*, int, HWND) {
  g_reported.emplace_back(text != nullptr ? text : "");
  return IDOK;
}

TEST(AccountUtilityTest, HandsOutThePresetAccountWithinTheBuffers) {
  Folder folder;
  ASSERT_TRUE(::CopyFileW(Installed(L"K4DDNSUtil.dll").c_str(),
                          (folder / L"K4DDNSUtil.dll").c_str(), FALSE));
  const HMODULE library = ::LoadLibraryW((folder / L"K4DDNSUtil.dll").c_str());
  ASSERT_NE(library, nullptr);
  const auto setMessageBox = Entry<SetMsgBoxFuncFunction>(library, "SetMsgBoxFunc");
  const auto getAccount = Entry<GetDnsAccountFunction>(library, "GetDNSAccount");
  ASSERT_NE(setMessageBox, nullptr);
  ASSERT_NE(getAccount, nullptr);
  const std::wstring ini = folder / L"K4DDNSUtil.ini";
  const auto writeIni = [&](const std::string& content) {
    std::ofstream(std::filesystem::path(ini), std::ios::binary) << content;
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini.c_str());  // drop any cache
  };

  // No preset account: 0, empty buffers, and a message through the client's function.
  g_reported.clear();
  setMessageBox(&RecordMessage);
  char user[300];
  char password[300];
  std::memset(user, 'Z', sizeof user);
  std::memset(password, 'Z', sizeof password);
  EXPECT_EQ(getAccount(user, 255, password, 255, 0), 0);
  EXPECT_STREQ(user, "");
  EXPECT_STREQ(password, "");
  ASSERT_EQ(g_reported.size(), 1u);
  EXPECT_NE(g_reported[0].find("No preset account"), std::string::npos);

  writeIni("[Account]\r\nUser=vendoruser\r\nPassword=pa ss\r\n");
  EXPECT_EQ(getAccount(user, 255, password, 255, 0), 1);
  EXPECT_STREQ(user, "vendoruser");
  EXPECT_STREQ(password, "pa ss");

  // Longer values are cut to the size, never past it and never inside a character.
  std::string longUser(254, 'u');
  longUser += "中文";
  writeIni("[Account]\r\nUser=" + longUser + "\r\nPassword=" + std::string(300, 'p') + "\r\n");
  std::memset(user, 'Z', sizeof user);
  std::memset(password, 'Z', sizeof password);
  EXPECT_EQ(getAccount(user, 255, password, 255, 0), 1);
  // The ini is read in the system code page: in a double-byte page "中" starts with a lead
  // byte whose character does not fit; in a single-byte page each byte is a character.
  const bool doubleByte = ::IsDBCSLeadByte(static_cast<BYTE>(longUser[254])) != FALSE;
  EXPECT_EQ(std::string(user), doubleByte ? std::string(254, 'u') : longUser.substr(0, 255));
  EXPECT_EQ(std::string(password), std::string(255, 'p'));
  EXPECT_EQ(password[256], 'Z');  // the 256-byte buffer of the client is not left
  EXPECT_EQ(user[256], 'Z');

  // Without buffers, or without a message function, nothing breaks.
  EXPECT_EQ(getAccount(nullptr, 255, password, 255, 0), 0);
  EXPECT_EQ(getAccount(user, 0, password, 255, 0), 0);
  setMessageBox(nullptr);
  writeIni("[Other]\r\nUser=x\r\n");
  g_reported.clear();
  EXPECT_EQ(getAccount(user, 255, password, 255, 0), 0);
  EXPECT_TRUE(g_reported.empty());
  ::FreeLibrary(library);
}

// --- Renvale.dll --------------------------------------------------------------------------

using DoAutoUpdateFunction = int(__stdcall*)(const char*, HKEY, const char*);

TEST(AutoUpdateTest, StartsTheUpdaterForTheKeyWhenVersionChecksAreOn) {
  Folder folder;
  ASSERT_TRUE(
      ::CopyFileW(Installed(L"Renvale.dll").c_str(), (folder / L"Renvale.dll").c_str(), FALSE));
  ASSERT_TRUE(
      ::CopyFileW(Built(L"fake_brenwick.exe").c_str(), (folder / L"Brenwick.exe").c_str(), FALSE));
  const HMODULE library = ::LoadLibraryW((folder / L"Renvale.dll").c_str());
  ASSERT_NE(library, nullptr);
  const auto doAutoUpdate = Entry<DoAutoUpdateFunction>(library, "DoAutoUpdate");
  ASSERT_NE(doAutoUpdate, nullptr);
  const wchar_t* keyPath = L"Software\\QuorinStandinTest";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, keyPath);
  const std::wstring record = folder / L"brenwick_args.txt";
  StartedProcesses& started = StartedProcesses::Get();
  ASSERT_TRUE(started.Counting());
  const DWORD running = started.Active();
  // The updater that a call started has written its record and ended.
  const auto updaterDone = [&] {
    return WaitUntil([&] { return started.Active() == running; }, 30s) && Exists(record);
  };

  // No "AutoVersionCheck" value counts as on.
  DWORD total = started.Total();
  EXPECT_EQ(doAutoUpdate("QuorinFree", HKEY_CURRENT_USER, "Software\\QuorinStandinTest"), 0);
  EXPECT_EQ(started.Total(), total + 1);
  ASSERT_TRUE(updaterDone());
  EXPECT_EQ(ReadText(record), "\"" + Utf8(folder / L"Brenwick.exe") +
                                  "\" 2147483649 \"Software\\QuorinStandinTest\"");
  ASSERT_TRUE(::DeleteFileW(record.c_str()));

  // Off: nothing starts.
  ::RegSetKeyValueW(HKEY_CURRENT_USER, keyPath, L"AutoVersionCheck", REG_SZ, L"0", 4);
  total = started.Total();
  EXPECT_EQ(doAutoUpdate("QuorinFree", HKEY_CURRENT_USER, "Software\\QuorinStandinTest"), 0);
  EXPECT_EQ(started.Total(), total);

  // On again.
  ::RegSetKeyValueW(HKEY_CURRENT_USER, keyPath, L"AutoVersionCheck", REG_SZ, L"1", 4);
  total = started.Total();
  EXPECT_EQ(doAutoUpdate("QuorinFree", HKEY_CURRENT_USER, "Software\\QuorinStandinTest"), 0);
  EXPECT_EQ(started.Total(), total + 1);
  EXPECT_TRUE(updaterDone());
  ASSERT_TRUE(::DeleteFileW(record.c_str()));

  // No updater beside the library, or no key: the client goes on and nothing starts.
  ::DeleteFileW((folder / L"Brenwick.exe").c_str());
  total = started.Total();
  EXPECT_EQ(doAutoUpdate("QuorinFree", HKEY_CURRENT_USER, "Software\\QuorinStandinTest"), 0);
  EXPECT_EQ(doAutoUpdate(nullptr, HKEY_CURRENT_USER, nullptr), 0);
  EXPECT_EQ(doAutoUpdate("QuorinFree", nullptr, "Software\\QuorinStandinTest"), 0);
  EXPECT_EQ(started.Total(), total);
  EXPECT_FALSE(Exists(record));
  ::RegDeleteTreeW(HKEY_CURRENT_USER, keyPath);
  ::FreeLibrary(library);
}

// --- QuorinSkin.dll -----------------------------------------------------------------------

std::wstring RegistryText(const std::wstring& key, const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), name, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS) {
    return L"(missing)";
  }
  return value;
}

TEST(SkinControlTest, RegistersPerUserAndLeavesWindowsAsTheyAre) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const std::wstring dll = Installed(L"QuorinSkin.dll");
  const HMODULE library = ::LoadLibraryW(dll.c_str());
  ASSERT_NE(library, nullptr);
  using ServerEntry = HRESULT(__stdcall*)();
  const auto registerServer = Entry<ServerEntry>(library, "DllRegisterServer");
  const auto unregisterServer = Entry<ServerEntry>(library, "DllUnregisterServer");
  const auto canUnload = Entry<ServerEntry>(library, "DllCanUnloadNow");
  using ClassObjectEntry = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
  const auto getClassObject = Entry<ClassObjectEntry>(library, "DllGetClassObject");
  ASSERT_TRUE(registerServer && unregisterServer && canUnload && getClassObject);

  ASSERT_EQ(registerServer(), S_OK);
  const std::wstring classKey = L"CLSID\\{5E3A1C07-8B2D-4F6A-9C41-2D7E0B9F6A13}";
  EXPECT_EQ(RegistryText(classKey + L"\\InprocServer32", nullptr), dll);
  EXPECT_EQ(RegistryText(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(RegistryText(L"Interface\\{92AEA298-248E-45DB-97B6-A8C7CD5892E7}", nullptr),
            L"ISkinControl");
  EXPECT_EQ(RegistryText(L"QuorinFree.SkinControl\\CLSID", nullptr),
            L"{5E3A1C07-8B2D-4F6A-9C41-2D7E0B9F6A13}");

  // Activation through the per-user registration needs a system that merges the user's classes
  // into HKEY_CLASSES_ROOT, as Windows does (Wine 8 does not); the object itself is made the
  // same way either way, through the library's class factory.
  HKEY merged = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ, &merged) == ERROR_SUCCESS) {
    ::RegCloseKey(merged);
    void* activated = nullptr;
    EXPECT_EQ(::CoCreateInstance(client::kSkinControlClassId, nullptr, CLSCTX_INPROC_SERVER,
                                 client::kSkinControlInterfaceId, &activated),
              S_OK);
    if (activated != nullptr)
      static_cast<IUnknown*>(activated)->Release();
  }
  IClassFactory* classFactory = nullptr;
  ASSERT_EQ(getClassObject(client::kSkinControlClassId, IID_IClassFactory,
                           reinterpret_cast<void**>(&classFactory)),
            S_OK);
  client::ISkinControl* skin = nullptr;
  ASSERT_EQ(classFactory->CreateInstance(nullptr, client::kSkinControlInterfaceId,
                                         reinterpret_cast<void**>(&skin)),
            S_OK);
  classFactory->Release();
  ASSERT_NE(skin, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);  // an object is alive

  IDispatch* dispatch = nullptr;
  EXPECT_EQ(skin->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  UINT typeInfos = 99;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&typeInfos), S_OK);
  EXPECT_EQ(typeInfos, 0u);
  dispatch->Release();
  IUnknown* unknown = nullptr;
  EXPECT_EQ(skin->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&unknown)),
            E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);

  const HWND window =
      ::CreateWindowExW(0, L"BUTTON", L"Unskinned", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 40, 220,
                        120, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  RECT before;
  ::GetWindowRect(window, &before);
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  const LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
  EXPECT_EQ(skin->ApplySkin(window), S_OK);
  RECT after;
  ::GetWindowRect(window, &after);
  EXPECT_TRUE(::EqualRect(&before, &after));
  EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE), style);
  EXPECT_EQ(::GetWindowLongW(window, GWL_EXSTYLE), exStyle);
  EXPECT_EQ(WindowText(window), L"Unskinned");
  EXPECT_EQ(skin->ApplySkin(nullptr), E_INVALIDARG);
  ::DestroyWindow(window);

  BSTR path = ::SysAllocString(L"skin\\default.skn");
  EXPECT_EQ(skin->LoadSkin(path), S_OK);
  ::SysFreeString(path);
  BSTR back = nullptr;
  EXPECT_EQ(skin->get_SkinPath(&back), S_OK);
  EXPECT_STREQ(back, L"skin\\default.skn");
  ::SysFreeString(back);

  EXPECT_EQ(skin->Release(), 0u);
  EXPECT_EQ(canUnload(), S_OK);

  // The class factory: one class, no aggregation.
  IClassFactory* factory = nullptr;
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(client::kSkinControlClassId, IID_IClassFactory,
                           reinterpret_cast<void**>(&factory)),
            S_OK);
  void* aggregated = nullptr;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory),
                                    client::kSkinControlInterfaceId, &aggregated),
            CLASS_E_NOAGGREGATION);
  factory->Release();

  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(RegistryText(classKey + L"\\InprocServer32", nullptr), L"(missing)");
  EXPECT_EQ(RegistryText(L"Interface\\{92AEA298-248E-45DB-97B6-A8C7CD5892E7}", nullptr),
            L"(missing)");
  void* none = nullptr;
  EXPECT_EQ(::CoCreateInstance(client::kSkinControlClassId, nullptr, CLSCTX_INPROC_SERVER,
                               client::kSkinControlInterfaceId, &none),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(none, nullptr);
  ::CoUninitialize();
}

// --- holdon.exe ---------------------------------------------------------------------------

HANDLE Start(const std::wstring& program, const std::wstring& arguments) {
  std::wstring line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return nullptr;
  }
  ::CloseHandle(info.hThread);
  return info.hProcess;
}

DWORD ExitCode(HANDLE process) {
  DWORD code = 12345;
  ::GetExitCodeProcess(process, &code);
  return code;
}

// Whether a process of the client's program name runs, as holdon.exe looks for one.
bool ClientListed() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    found = ::CompareStringOrdinal(entry.szExeFile, -1, L"QuorinFree.exe", -1, TRUE) == CSTR_EQUAL;
  }
  ::CloseHandle(snapshot);
  return found;
}

// When a process ended, in the system's time.
ULONGLONG ExitTime(HANDLE process) {
  FILETIME created{};
  FILETIME ended{};
  FILETIME kernel{};
  FILETIME user{};
  ::GetProcessTimes(process, &created, &ended, &kernel, &user);
  return (static_cast<ULONGLONG>(ended.dwHighDateTime) << 32) | ended.dwLowDateTime;
}

// A client stand-in (the program copied as QuorinFree.exe) that runs until Release.
class StandInClient {
 public:
  explicit StandInClient(const std::wstring& program) {
    static int counter = 0;
    const std::wstring name = L"Local\\quorin-standin-client-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    process_ = release_ != nullptr ? Start(program, name) : nullptr;
  }
  ~StandInClient() {
    Release();
    if (process_ != nullptr) {
      ::WaitForSingleObject(process_, 60000);
      ::CloseHandle(process_);
    }
    if (release_ != nullptr)
      ::CloseHandle(release_);
  }
  StandInClient(const StandInClient&) = delete;
  StandInClient& operator=(const StandInClient&) = delete;

  HANDLE process() const { return process_; }
  void Release() const {
    if (release_ != nullptr)
      ::SetEvent(release_);
  }

 private:
  HANDLE release_ = nullptr;
  HANDLE process_ = nullptr;
};

TEST(HoldOnTest, ReturnsOnceTheClientHasEnded) {
  Folder folder;
  ASSERT_TRUE(
      ::CopyFileW(Built(L"sleeper.exe").c_str(), (folder / L"QuorinFree.exe").c_str(), FALSE));
  const std::wstring holdon = Installed(L"holdon.exe");

  // No client: it returns 0 without waiting for its limit.
  ASSERT_FALSE(ClientListed());
  HANDLE waiter = Start(holdon, L"\"C:\\batch.bat\" 3600");
  ASSERT_NE(waiter, nullptr);
  EXPECT_EQ(::WaitForSingleObject(waiter, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(waiter), 0u);
  ::CloseHandle(waiter);

  {
    StandInClient client(folder / L"QuorinFree.exe");
    ASSERT_NE(client.process(), nullptr);
    ASSERT_TRUE(WaitUntil(ClientListed));

    // The wait is bounded: with a limit of 1 s it gives up on a client that stays, and says so
    // with exit code 1.
    waiter = Start(holdon, L"\"C:\\batch.bat\" 1");
    ASSERT_NE(waiter, nullptr);
    EXPECT_EQ(::WaitForSingleObject(waiter, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(waiter), 1u);
    EXPECT_EQ(::WaitForSingleObject(client.process(), 0), WAIT_TIMEOUT);
    ::CloseHandle(waiter);

    // Waiting without a limit of its own: it returns 0 once the client has ended, and not
    // before.
    waiter = Start(holdon, L"\"C:\\batch.bat\"");
    ASSERT_NE(waiter, nullptr);
    client.Release();
    EXPECT_EQ(::WaitForSingleObject(client.process(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(waiter, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(waiter), 0u) << "it saw the client end, it did not give up";
    EXPECT_GE(ExitTime(waiter), ExitTime(client.process()));
    ::CloseHandle(waiter);
  }
}

}  // namespace
}  // namespace quorin::shelltest
