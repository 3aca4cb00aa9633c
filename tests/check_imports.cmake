cmake_minimum_required(VERSION 3.25)
# Fails when the executable imports a DLL that is not part of Windows itself.
set(windows_dlls
  advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
  user32.dll)

execute_process(COMMAND "${OBJDUMP}" -p "${EXECUTABLE}" OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${EXECUTABLE}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no imports found in ${EXECUTABLE}: the dump format is not understood")
endif()
set(foreign "")
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST windows_dlls AND NOT lower MATCHES "^api-ms-win-")
    list(APPEND foreign "${dll}")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
if(foreign)
  message(FATAL_ERROR "imports DLLs that Windows does not ship: ${foreign}")
endif()
