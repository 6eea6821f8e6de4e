#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <memory>

#include "platform/program_arguments.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t** words) const { ::LocalFree(words); }
};

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreeDeleter> words(
      ::CommandLineToArgvW(::GetCommandLineW(), &count));
  std::vector<std::string> arguments;
  if (!words) {
    // Without the wide command line the C runtime's words are the best there is.
    for (int i = 0; i < argc; ++i)
      arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return arguments;
  }
  for (int i = 0; i < count; ++i)
    arguments.push_back(Utf8FromWide(words.get()[i]));
  return arguments;
}

}  // namespace quorin::platform
