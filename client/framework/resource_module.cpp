#include "client/framework/resource_module.h"

#include <atomic>
#include <string_view>

#include "common/text_tools.h"
#include "platform/win32/wide_text.h"

namespace quorin::client {
namespace {

std::atomic<HMODULE> g_resourceModule{nullptr};

constexpr std::size_t kTextBufferBytes = 1024;

}  // namespace

void SetResourceModule(HMODULE module) {
  g_resourceModule = module;
}

HMODULE ResourceModule() {
  const HMODULE module = g_resourceModule;
  return module != nullptr ? module : ::GetModuleHandleW(nullptr);
}

std::string LoadResourceText(unsigned id) {
  // With a zero buffer size LoadStringW hands out a pointer into the loaded resource itself,
  // so a text of any length is read whole and then cut.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(ResourceModule(), id, reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || text == nullptr)
    return std::string();
  const std::string utf8 =
      platform::Utf8FromWide(std::wstring_view(text, static_cast<std::size_t>(length)));
  return CutText(utf8, kTextBufferBytes - 1);
}

}  // namespace quorin::client
