# The same sources built as 64-bit Windows programs. Used to run the Windows backend's tests
# under 64-bit Wine on hosts whose kernel cannot execute 32-bit programs (then 32-bit Wine
# cannot start). The product itself is the 32-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORIN_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
