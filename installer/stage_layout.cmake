# Lays out the installation folder with `cmake --install` into STAGE and writes LAYOUT, the
# NSIS include that lists it: one macro call per file and per folder, so that the setup copies,
# checks and removes exactly the files the install step lays out, and the installed size.
#   cmake -DBUILD_DIR=<build tree> -DSTAGE=<folder> -DLAYOUT=<file.nsh> -P stage_layout.cmake
foreach(required BUILD_DIR STAGE LAYOUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "stage_layout.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install into ${STAGE} failed (${status})")
endif()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "the install step laid out no file in ${STAGE}")
endif()

set(file_lines "")
set(folders "")
set(total_bytes 0)
foreach(file IN LISTS files)
  # Names become NSIS string literals: keep them to characters that need no quoting there.
  if(NOT file MATCHES "^[A-Za-z0-9_./-]+$")
    message(FATAL_ERROR "installed file name unsafe for the setup script: ${file}")
  endif()
  get_filename_component(folder "${file}" DIRECTORY)
  get_filename_component(name "${file}" NAME)
  string(REPLACE "/" "\\" windows_folder "${folder}")
  string(APPEND file_lines "  !insertmacro \${_action} \"${windows_folder}\" \"${name}\" \"${STAGE}/${file}\"\n")
  if(folder)
    list(APPEND folders "${windows_folder}")
  endif()
  file(SIZE ${STAGE}/${file} bytes)
  math(EXPR total_bytes "${total_bytes} + ${bytes}")
endforeach()

# Deepest folders first, so that removing them in this order empties parents last.
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
set(folder_lines "")
foreach(folder IN LISTS folders)
  string(APPEND folder_lines "  !insertmacro \${_action} \"${folder}\"\n")
endforeach()

math(EXPR total_kib "(${total_bytes} + 1023) / 1024")
file(WRITE ${LAYOUT}
"; Written by stage_layout.cmake from the install step's layout; do not edit.
!define QUORIN_LAYOUT_KIB ${total_kib}

; _action folder name source, for every file of the installation folder.
!macro QuorinLayoutFiles _action
${file_lines}!macroend

; _action folder, for every sub-folder, deepest first.
!macro QuorinLayoutFolders _action
${folder_lines}!macroend
")
