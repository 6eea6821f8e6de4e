# Window tests under Wine: every such test program runs on a virtual X display (xvfb-run) in a
# Wine prefix of its own (the shell prefix), one at a time, through run-shell-test.sh. The
# fixture "quorin_shell" (tests/shell/CMakeLists.txt) prepares the prefix and the installation.

set(QUORIN_SHELL_PREFIX ${CMAKE_BINARY_DIR}/shell-prefix)
set(QUORIN_SHELL_INSTALL ${CMAKE_BINARY_DIR}/shell-install)
set(QUORIN_SHELL_ARTIFACTS ${CMAKE_BINARY_DIR}/artifacts)
# Runs a command in a locale of its choice (for the code page tests).
set(QUORIN_IN_LOCALE ${PROJECT_SOURCE_DIR}/tests/platform/win32/in_locale.sh)
find_program(QUORIN_XVFB_RUN xvfb-run)
find_program(QUORIN_IMPORT import)

set(QUORIN_SHELL_TESTS_POSSIBLE OFF)
if(WIN32 AND CMAKE_CROSSCOMPILING AND QUORIN_WINE AND QUORIN_XVFB_RUN)
  set(QUORIN_SHELL_TESTS_POSSIBLE ON)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/run-shell-test.sh.in
                 ${CMAKE_BINARY_DIR}/run-shell-test.sh @ONLY)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/shell-prefix.sh.in
                 ${CMAKE_BINARY_DIR}/shell-prefix.sh @ONLY)
elseif(WIN32 AND CMAKE_CROSSCOMPILING)
  message(WARNING "Wine or xvfb-run missing: the window tests under Wine are left out")
endif()

# quorin_add_shell_test(name SOURCES ... LIBS ...): a GoogleTest program that runs in the shell
# environment. The program learns the paths it needs from the environment variables that
# run-shell-test.sh sets.
function(quorin_add_shell_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  quorin_set_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  if(QUORIN_SHELL_TESTS_POSSIBLE)
    add_test(NAME ${name}
             COMMAND sh ${CMAKE_BINARY_DIR}/run-shell-test.sh $<TARGET_FILE:${name}>
                     --gtest_color=no)
    set_tests_properties(${name} PROPERTIES LABELS shell TIMEOUT 300
                         FIXTURES_REQUIRED quorin_shell RESOURCE_LOCK quorin_shell_wine)
    quorin_gtest_entries(${name})
  endif()
endfunction()
