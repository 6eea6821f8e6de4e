# Warning flags for the project's own targets. Third-party code (GoogleTest) is built
# without them, so its warnings never break our build.
function(quorin_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Wcast-align -Wconversion -Wformat=2
    -Wimplicit-fallthrough -Wmissing-declarations -Wundef)
  # GCC 12 reports false -Wrestrict errors inside libstdc++'s string code at -O2 and above
  # (GCC bug 105329); the check is left to other compilers until that is fixed.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
