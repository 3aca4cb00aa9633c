# Settings shared by every target: wide-character Win32, no runtime DLLs. The warnings, errors
# included, come through the interface target velmora_warnings, which the project's own targets
# link and GoogleTest does not; compiler options never reach the resource compiler.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(velmora_warnings INTERFACE)
if(MSVC)
  target_compile_options(velmora_warnings INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:/W4 /WX>)
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:/utf-8> $<$<COMPILE_LANGUAGE:CXX>:/permissive- /EHsc>)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
else()
  target_compile_options(velmora_warnings INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Werror>)
  # The MinGW runtime, libstdc++ and winpthread are linked in: the programs need no DLL beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The runtime libraries bring debug sections (a third of the starter's image) that no one reads:
  # they are left out, so that loading the image does not read them into memory.
  add_link_options(-s)
  # Reproducible: the same commit built in another folder at another time gives the same bytes.
  # No link time stamp (in the file header and the export directory; the PE checksum then follows
  # the content alone), and no source or build folder in anything the compiler writes (__FILE__,
  # debug information). The import library's members carry no date either: ld writes none.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")
endif()
