// TLDDNSService.exe: the service program beside the client.
//   TLDDNSService.exe -Service       registers the service "TLDDNSService" (automatic start)
//   TLDDNSService.exe -UnRegServer   stops and removes it
// Started by the service manager, it runs the service (see service_host.h).
#include <windows.h>

#include <cwctype>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "platform/program_path.h"
#include "platform/win32/wide_text.h"
#include "service/registering_user.h"
#include "service/service_handover.h"
#include "service/service_host.h"
#include "service/service_registration.h"

namespace {

using namespace quorin;

// "-Service" and "/service" alike: the switches ignore letter case, as Windows programs' do.
bool IsSwitch(const wchar_t* argument, std::wstring_view name) {
  if (argument[0] != L'-' && argument[0] != L'/')
    return false;
  const std::wstring_view word(argument + 1);
  if (word.size() != name.size())
    return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::towlower(word[i]) != std::towlower(name[i]))
      return false;
  }
  return true;
}

int Finish(int code, const std::string& message) {
  (code == standins::kExitDone ? std::cout : std::cerr) << "TLDDNSService: " << message << "\n";
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv) {
  std::string message;
  if (argc == 2 && IsSwitch(argv[1], L"Service")) {
    const std::optional<std::string> path = platform::ProgramPath();
    if (!path)
      return Finish(standins::kExitRefused, "the program's own path is unknown");
    const int code = standins::RegisterService(platform::WideFromUtf8(*path), message);
    if (code != standins::kExitDone)
      return Finish(code, message);
    // Run with administrator rights, the registration is the step that may hand the service
    // the account and the settings the user sees (it also runs again to hand over a new
    // account). Its report goes to the service's log: started from the client's prompt, this
    // program has no console.
    std::vector<std::string> report{message};
    const std::vector<std::string> handOver = standins::HandOverToService(
        standins::FindRegisteringUser(),
        platform::WideFromUtf8(platform::ProgramFolder().value_or(std::string())));
    report.insert(report.end(), handOver.begin(), handOver.end());
    standins::AppendToServiceLog(report);
    for (std::size_t i = 1; i < report.size(); ++i)
      std::cout << "TLDDNSService: " << report[i] << "\n";
    return Finish(code, message);
  }
  if (argc == 2 && IsSwitch(argv[1], L"UnRegServer"))
    return Finish(standins::RemoveService(message), message);
  if (argc == 1 && standins::RunAsService())
    return 0;
  std::cerr << "usage: TLDDNSService.exe -Service | -UnRegServer\n"
               "  -Service      registers the Windows service TLDDNSService (automatic start)\n"
               "  -UnRegServer  stops and removes it\n"
               "The service manager starts the program without arguments; it then keeps the\n"
               "domains of the remembered current account of userprofie.dat (beside the\n"
               "program) pointed at this machine's public address.\n";
  return standins::kExitUsage;
}
