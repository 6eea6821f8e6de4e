# miniupnpc, the UPnP IGD client of the router watcher, as the target quorin_miniupnpc.
#
# Linux: Debian's libminiupnpc-dev, linked statically so that the console client maps no further
# shared object and carries only the calls it makes.
# Windows: Debian builds the library for Linux only, so the Windows programs compile it from
# Debian's source package, which tools/install-deps.sh unpacks once (as GoogleTest comes from
# /usr/src/googletest); nothing is downloaded at build time. Only its static library is built,
# without the project's warnings, and its headers are laid out as the Linux package installs
# them, so that the same #include lines serve both.
add_library(quorin_miniupnpc INTERFACE)

if(NOT WIN32)
  find_path(MINIUPNPC_INCLUDE_DIR miniupnpc/miniupnpc.h REQUIRED)
  find_library(MINIUPNPC_LIBRARY NAMES libminiupnpc.a miniupnpc REQUIRED)
  target_include_directories(quorin_miniupnpc SYSTEM INTERFACE ${MINIUPNPC_INCLUDE_DIR})
  target_link_libraries(quorin_miniupnpc INTERFACE ${MINIUPNPC_LIBRARY})
  return()
endif()

set(QUORIN_MINIUPNPC_SOURCE "/usr/local/src/miniupnpc" CACHE PATH
    "miniupnpc source tree (Debian's source package) for the Windows builds")
if(NOT EXISTS "${QUORIN_MINIUPNPC_SOURCE}/CMakeLists.txt"
   OR NOT EXISTS "${QUORIN_MINIUPNPC_SOURCE}/include/miniupnpc.h")
  message(FATAL_ERROR
          "miniupnpc sources not found in ${QUORIN_MINIUPNPC_SOURCE}: run tools/install-deps.sh, "
          "which unpacks Debian's source package there (or set QUORIN_MINIUPNPC_SOURCE)")
endif()

file(STRINGS "${QUORIN_MINIUPNPC_SOURCE}/VERSION" QUORIN_MINIUPNPC_VERSION LIMIT_COUNT 1)
message(STATUS "miniupnpc ${QUORIN_MINIUPNPC_VERSION} from ${QUORIN_MINIUPNPC_SOURCE}")

set(UPNPC_BUILD_STATIC ON CACHE BOOL "" FORCE)
set(UPNPC_BUILD_SHARED OFF CACHE BOOL "" FORCE)
set(UPNPC_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(UPNPC_BUILD_SAMPLE OFF CACHE BOOL "" FORCE)
# The programs carry the library inside them: its headers and archive are not installed.
set(UPNPC_NO_INSTALL ON CACHE BOOL "" FORCE)
# The library's CMake file leaves the version of its HTTP User-Agent to its caller.
set(MINIUPNPC_VERSION "${QUORIN_MINIUPNPC_VERSION}")
add_subdirectory("${QUORIN_MINIUPNPC_SOURCE}" "${CMAKE_BINARY_DIR}/_deps/miniupnpc"
                 EXCLUDE_FROM_ALL SYSTEM)
# Its own -Wall finds fault with its snprintf macro for Windows, and it defines _WIN32_WINNT as
# XP where the toolchain defines Windows 7 (given later on the command line, so Windows 7 holds):
# nothing the project can act on, so the library is compiled quietly.
target_compile_options(libminiupnpc-static PRIVATE -w)

set(QUORIN_MINIUPNPC_HEADERS "${CMAKE_BINARY_DIR}/_deps/miniupnpc-include")
file(COPY "${QUORIN_MINIUPNPC_SOURCE}/include/"
     DESTINATION "${QUORIN_MINIUPNPC_HEADERS}/miniupnpc" FILES_MATCHING PATTERN "*.h")
target_include_directories(quorin_miniupnpc SYSTEM INTERFACE "${QUORIN_MINIUPNPC_HEADERS}")
# The library links ws2_32 and iphlpapi only privately; a static archive needs them named.
target_link_libraries(quorin_miniupnpc INTERFACE libminiupnpc-static ws2_32 iphlpapi)
