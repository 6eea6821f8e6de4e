// Where the servers of the fixture tests are: the fixtures start them, CTest hands their
// addresses to the test program in environment variables.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace quorin::updater::testing {

// The variable's value; the test is skipped when the fixture did not set it (the program was
// started by hand).
inline std::string FixtureVariable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

#define QUORIN_REQUIRE_FIXTURE(variable, name)                                    \
  const std::string variable = ::quorin::updater::testing::FixtureVariable(name); \
  if (variable.empty())                                                           \
  GTEST_SKIP() << name << " is not set: run through ctest"

}  // namespace quorin::updater::testing
