# The POSIX HTTP stack is libcurl (Debian: libcurl4-openssl-dev).
if(QUORIN_PLATFORM STREQUAL "posix")
  find_package(CURL REQUIRED)
  target_link_libraries(quorin_platform PUBLIC CURL::libcurl)
endif()
