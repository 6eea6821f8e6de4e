#include "client/app/shell_open.h"

#include <windows.h>

#include <shellapi.h>

#include <utility>

#include "platform/html_dialog.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

void SystemShellOpen(std::string_view verb, std::string_view target) {
  const std::wstring wideVerb = platform::WideFromUtf8(verb);
  const std::wstring wideTarget = platform::WideFromUtf8(target);
  ::ShellExecuteW(nullptr, wideVerb.empty() ? nullptr : wideVerb.c_str(), wideTarget.c_str(),
                  nullptr, nullptr, SW_SHOWNORMAL);
}

void SystemHtmlPage(std::string_view url) {
  platform::ShowHtmlPage(url);
}

// Set once at start-up, before any other thread (the advertisement's) calls them.
ShellOpenFunction& CurrentShellOpen() {
  static ShellOpenFunction function = SystemShellOpen;
  return function;
}

HtmlPageFunction& CurrentHtmlPage() {
  static HtmlPageFunction function = SystemHtmlPage;
  return function;
}

}  // namespace

void SetShellOpenFunction(ShellOpenFunction function) {
  CurrentShellOpen() = function ? std::move(function) : ShellOpenFunction(SystemShellOpen);
}

void SetHtmlPageFunction(HtmlPageFunction function) {
  CurrentHtmlPage() = function ? std::move(function) : HtmlPageFunction(SystemHtmlPage);
}

void ShellOpen(std::string_view verb, std::string_view target) {
  CurrentShellOpen()(verb, target);
}

void ShowHtmlPageOf(std::string_view url) {
  CurrentHtmlPage()(url);
}

}  // namespace quorin::client
