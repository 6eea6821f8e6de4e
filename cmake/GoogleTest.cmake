# GoogleTest from Debian's source package; nothing is downloaded at build time.
set(QUORIN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${QUORIN_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${QUORIN_GTEST_SOURCE}: apt-get install googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${QUORIN_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# A CTest entry that runs a whole GoogleTest program (every Windows test program under Wine)
# reads as skipped, not as passed, when the program skipped every test it ran: GoogleTest then
# reports no test passed and ends its summary with the list of skipped tests. A program with a
# failed test prints its failures after that list, and one that passed a test does not report
# 0, so neither is ever taken for skipped (CTest lets this expression win over the exit code).
set(QUORIN_GTEST_ALL_SKIPPED
    "\\[  PASSED  \\] 0 tests\\.[\r\n]+\\[  SKIPPED \\] [0-9]+ tests?, listed below:[\r\n]+(\\[  SKIPPED \\] [^\r\n]*[\r\n]+)*[ \r\n]*$")

# quorin_gtest_entries(test...): gives CTest entries that run a GoogleTest program the skip
# expression above. Every such entry of a Windows build goes through here (the helpers below
# and in tests/shell/ShellTest.cmake, and the entries made with add_test of their own);
# tests/tools/check_gtest_entries.py checks that none is left out.
function(quorin_gtest_entries)
  set_tests_properties(${ARGN} PROPERTIES SKIP_REGULAR_EXPRESSION "${QUORIN_GTEST_ALL_SKIPPED}")
endfunction()

# quorin_code_page_entries(test...): entries that run a program's code page tests in a locale
# made for them (tests/platform/win32/in_locale.sh). Such an entry runs or fails, never skips:
# it passes only when a test passed and none failed or was skipped (a skip there means the
# locale did not give the code page the tests need).
function(quorin_code_page_entries)
  set_tests_properties(${ARGN} PROPERTIES
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9]"
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\];\\[  SKIPPED \\];code page is not")
endfunction()

# Adds a GoogleTest executable. Natively every test case becomes its own CTest test; a Windows
# build runs each executable once under the emulator (one Wine start per executable instead of
# one per case keeps the Wine run short).
function(quorin_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  quorin_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 600)
    quorin_gtest_entries(${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
  endif()
endfunction()
