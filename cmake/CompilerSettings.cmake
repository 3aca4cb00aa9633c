# Settings shared by every target: wide-character Win32, warnings as errors, no runtime DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

if(MSVC)
  add_compile_options(/W4 /WX /utf-8 /permissive- /EHsc)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
else()
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-Wall> $<$<COMPILE_LANGUAGE:C,CXX>:-Wextra>
                      $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
  # The MinGW runtime, libstdc++ and winpthread are linked in: the programs need no DLL beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The runtime libraries bring debug sections (a third of the starter's image) that no one reads:
  # they are left out, so that loading the image does not read them into memory.
  add_link_options(-s)
endif()
