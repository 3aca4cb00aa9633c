# Every cross-built test runs under Wine through a wrapper that owns the build's prefix and server.
find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINE64 NAMES wine64)
find_program(WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINESERVER NAMES wineserver)
if(NOT WINE64 OR NOT WINESERVER)
  message(FATAL_ERROR "wine64 and wineserver are needed to run the tests (apt-get install wine64)")
endif()

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(WINE "${WINE64}")

add_executable(desktop_keeper WIN32 "${CMAKE_CURRENT_LIST_DIR}/wine/desktop_keeper.cpp")
target_link_libraries(desktop_keeper PRIVATE velmora_warnings user32 gdi32)
target_link_options(desktop_keeper PRIVATE -municode)
set_target_properties(desktop_keeper PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/wine")
set(DESKTOP_KEEPER "${CMAKE_BINARY_DIR}/wine/desktop_keeper.exe")

configure_file("${CMAKE_CURRENT_LIST_DIR}/wine/wine-run.in" "${CMAKE_BINARY_DIR}/wine-run"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")
set(CMAKE_CROSSCOMPILING_EMULATOR "${WINE_RUN}")
