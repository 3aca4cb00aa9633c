cmake_minimum_required(VERSION 3.25)
# Fails when the executable imports a DLL that is not part of Windows itself, one it must load only
# at run time, or one of the list DELAY_LOADED (lower-case names) at start-up instead of at its
# first call.
set(windows_dlls
  advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
  user32.dll xmllite.dll)

execute_process(COMMAND "${OBJDUMP}" -p "${EXECUTABLE}" OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${EXECUTABLE}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no imports found in ${EXECUTABLE}: the dump format is not understood")
endif()
# Only version 6 of the common controls exports TaskDialogIndirect: imported statically, it stops
# a program without that manifest from starting at all, and maps the library into every start.
set(run_time_only_dlls comctl32.dll)
set(foreign "")
set(static "")
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(lower IN_LIST run_time_only_dlls)
    list(APPEND static "${dll}")
  elseif(NOT lower IN_LIST windows_dlls AND NOT lower MATCHES "^api-ms-win-")
    list(APPEND foreign "${dll}")
  endif()
  if(lower IN_LIST DELAY_LOADED)
    list(APPEND loaded_at_start "${dll}")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
if(static)
  message(FATAL_ERROR "imports DLLs that it must only load when needed: ${static}")
endif()
if(foreign)
  message(FATAL_ERROR "imports DLLs that Windows does not ship: ${foreign}")
endif()
if(loaded_at_start)
  message(FATAL_ERROR "imports at start-up what it should load at the first call: ${loaded_at_start}")
endif()
