# Outside Debug builds, each function and datum of the POSIX programs gets a section of its
# own and the linker drops the ones nothing refers to: the console client runs for months on
# small boxes, where every resident page of its code counts. (The Windows builds keep their
# own settings.)
if(NOT WIN32)
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-ffunction-sections;-fdata-sections>")
  add_link_options("$<$<NOT:$<CONFIG:Debug>>:LINKER:--gc-sections>")
endif()
