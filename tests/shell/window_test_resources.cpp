#include "tests/shell/window_test_resources.h"

#include "client/framework/resource_module.h"
#include "tests/shell/window_test_support.h"

namespace quorin::shelltest {

HMODULE UseInstalledResources() {
  static const HMODULE module = [] {
    const std::wstring install = Environment(L"QUORIN_SHELL_INSTALL");
    const HMODULE loaded =
        install.empty() ? nullptr : ::LoadLibraryW((install + L"\\uires.dll").c_str());
    if (loaded != nullptr)
      client::SetResourceModule(loaded);
    return loaded;
  }();
  return module;
}

}  // namespace quorin::shelltest
