# AddressSanitizer and UndefinedBehaviorSanitizer for native Debug builds. Every finding
# aborts the test (-fno-sanitize-recover), so a sanitizer report can never pass CI unnoticed.
option(QUORIN_SANITIZE "Build native Debug with ASan and UBSan" ON)
if(QUORIN_SANITIZE AND NOT WIN32 AND CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
