// Facts about the machine a test runs on.
#pragma once

namespace quorin::testing {

// True when the test program is a Windows program running under Wine, where a few system
// behaviours differ from Windows (each test that depends on one says which).
bool RunningUnderWine();

// This process's id.
unsigned long ProcessId();

}  // namespace quorin::testing
