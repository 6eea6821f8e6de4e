# The client's window code and the program QuorinFree.exe (Windows only; included by
# client/CMakeLists.txt). The window code is a library of its own so that the shell tests can
# run its dialogs inside a test program.
enable_language(RC)

set(QUORIN_CLIENT_WINDOW_SOURCES
  framework/app_base.cpp
  framework/dialog_base.cpp
  framework/dpi.cpp
  framework/message_loop.cpp
  framework/paint_dc.cpp
  framework/resource_module.cpp
  framework/status_refresh_window.cpp
  framework/window_base.cpp
  controls/grid_cells.cpp
  controls/hand_cursor.cpp
  controls/progress_window.cpp
  controls/tree_grid.cpp
  controls/tree_grid_canvas.cpp
  app/about_dialog.cpp
  app/activity_record.cpp
  app/client_arguments.cpp
  app/client_clock.cpp
  app/desktop_switch.cpp
  app/language_file.cpp
  app/log_viewer_dlg.cpp
  app/main_dialog_account.cpp
  app/main_dialog_domains.cpp
  app/message_dialog.cpp
  app/product_title.cpp
  app/quorin_app.cpp
  app/quorin_dlg.cpp
  app/self_update.cpp
  app/session_notifications.cpp
  app/settings_dlg.cpp
  app/shell_open.cpp
  app/skin_host.cpp
  app/start_up_steps.cpp
  app/tray_icon.cpp
  app/tray_menu.cpp
  app/wait_answering.cpp
  app/web_links.cpp
  app/window_job.cpp)

add_library(quorin_client_windows STATIC ${QUORIN_CLIENT_WINDOW_SOURCES})
target_include_directories(quorin_client_windows PUBLIC ${PROJECT_SOURCE_DIR})
# Renvale.dll is linked through the import library that standins/ makes for it.
target_link_libraries(quorin_client_windows PUBLIC quorin_client_core quorin_headless renvale_import comctl32 ole32
                      oleaut32 uuid user32 gdi32 shell32)
quorin_set_warnings(quorin_client_windows)

# The program's own resources (icon, manifest, version) are compiled apart: the C++ warning
# flags mean nothing to the resource compiler.
add_library(quorin_client_exe_resources OBJECT ${PROJECT_SOURCE_DIR}/resources/QuorinFree.rc)
target_include_directories(quorin_client_exe_resources PRIVATE ${PROJECT_SOURCE_DIR}/resources)
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/QuorinFree.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/resources/QuorinFree.exe.manifest;${PROJECT_SOURCE_DIR}/resources/skin/QuorinFree.ico")

add_executable(QuorinFree WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp
               $<TARGET_OBJECTS:quorin_client_exe_resources>)
target_link_libraries(QuorinFree PRIVATE quorin_client_windows)
target_link_options(QuorinFree PRIVATE -municode)
quorin_set_warnings(QuorinFree)

install(TARGETS QuorinFree RUNTIME DESTINATION .)
