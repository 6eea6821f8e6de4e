// Clearing the service manager between service tests.
#pragma once

#include <windows.h>

namespace quorin::shelltest {

// Stops the service `name` when it runs, waits for it to stop and removes it; does nothing
// when it is not installed. The service disappears once every handle to it is closed.
void RemoveServiceNow(const wchar_t* name);

}  // namespace quorin::shelltest
