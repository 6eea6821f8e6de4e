#include "client/app/activity_record.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "client/app/shell_open.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

std::wstring& RecordPath() {
  static std::wstring path;
  return path;
}

}  // namespace

void StartActivityRecordFromEnvironment() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"QUORINFREE_ACTIVITY_RECORD", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return;
  RecordPath().assign(path, length);
  SetShellOpenFunction([](std::string_view verb, std::string_view target) {
    RecordActivity("shell-open\t" + std::string(verb) + "\t" + std::string(target));
  });
  SetHtmlPageFunction(
      [](std::string_view url) { RecordActivity("html-page\t" + std::string(url)); });
}

bool ActivityRecordOn() {
  return !RecordPath().empty();
}

void RecordActivity(std::string_view line) {
  if (RecordPath().empty())
    return;
  // Opened and closed for every line, so that a reader sees each line as soon as it is written.
  FILE* file = ::_wfopen(RecordPath().c_str(), L"ab");
  if (file == nullptr)
    return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

}  // namespace quorin::client
