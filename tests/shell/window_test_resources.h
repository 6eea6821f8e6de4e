// The installed resource library, loaded once as the resource source of the window tests.
#pragma once

#include <windows.h>

namespace quorin::shelltest {

// Loads QUORIN_SHELL_INSTALL\uires.dll and makes it the process's resource source; null when
// it cannot be loaded.
HMODULE UseInstalledResources();

}  // namespace quorin::shelltest
