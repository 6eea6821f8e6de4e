# The POSIX HTTP backend reads answers with Boost.Beast's parser (header-only; Debian:
# libboost-dev). Only its own sources see Boost, and nothing of it is linked: the program maps
# no further shared library for HTTP, and no TLS library at all.
if(QUORIN_PLATFORM STREQUAL "posix")
  find_package(Boost 1.74 REQUIRED CONFIG)
  target_link_libraries(quorin_platform PRIVATE Boost::headers)
endif()
