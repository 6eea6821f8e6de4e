#include "updater/win32/command_words.h"

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include "platform/win32/wide_text.h"

namespace quorin::updater {

std::vector<std::string> CommandLineWords() {
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> result;
  if (words == nullptr)
    return result;
  for (int i = 0; i < count; ++i)
    result.push_back(quorin::platform::Utf8FromWide(words[i]));
  ::LocalFree(words);
  return result;
}

}  // namespace quorin::updater
