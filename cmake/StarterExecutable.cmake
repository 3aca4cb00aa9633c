# add_starter_executable(<target> OUTPUT_DIRECTORY <dir> OUTPUT_NAME <name>
#     SETTINGS_FILE_NAME <s> MAIN_MODULE_NAME <s> SEARCH_PATH_TEMPLATE <s>
#     IDENTITY_MODULE_NAME <s> SEARCH_PATH_RESOURCE <s>)
# Builds one starter executable whose built-in strings and string resource 1 are the given texts.
# The product build uses the cache variables; tests build variants with other texts.

set(STARTER_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/../src")

# Text as the body of a C++ wide string literal.
function(_starter_cxx_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Text as the body of a resource-script string: backslashes escaped, quotes doubled.
function(_starter_rc_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(add_starter_executable target)
  set(one_value OUTPUT_DIRECTORY OUTPUT_NAME SETTINGS_FILE_NAME MAIN_MODULE_NAME
      SEARCH_PATH_TEMPLATE IDENTITY_MODULE_NAME SEARCH_PATH_RESOURCE)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "${one_value}" "")

  set(gen "${CMAKE_CURRENT_BINARY_DIR}/${target}-generated")
  _starter_cxx_literal(SETTINGS_FILE_NAME_LITERAL "${ARG_SETTINGS_FILE_NAME}")
  _starter_cxx_literal(MAIN_MODULE_NAME_LITERAL "${ARG_MAIN_MODULE_NAME}")
  _starter_cxx_literal(SEARCH_PATH_TEMPLATE_LITERAL "${ARG_SEARCH_PATH_TEMPLATE}")
  _starter_cxx_literal(IDENTITY_MODULE_NAME_LITERAL "${ARG_IDENTITY_MODULE_NAME}")
  configure_file("${STARTER_SOURCE_DIR}/launcher/builtin_strings.cpp.in" "${gen}/builtin_strings.cpp" @ONLY)

  if("${ARG_SEARCH_PATH_RESOURCE}" STREQUAL "")
    set(SEARCH_PATH_RESOURCE_BLOCK "// No string resource 1: a template of \"*\" builds no search path.")
  else()
    _starter_rc_literal(resource "${ARG_SEARCH_PATH_RESOURCE}")
    set(SEARCH_PATH_RESOURCE_BLOCK "STRINGTABLE\nBEGIN\n    IDS_SEARCH_PATH_TEMPLATE, L\"${resource}\"\nEND")
  endif()
  set(STARTER_RESOURCE_DIR "${STARTER_SOURCE_DIR}/resources")
  set(STARTER_FILE_NAME "${ARG_OUTPUT_NAME}.exe")
  configure_file("${STARTER_SOURCE_DIR}/resources/starter.rc.in" "${gen}/starter.rc.configured" @ONLY)
  # The exports the main module looks up in the starter, one under its decorated C++ name.
  set(def "${STARTER_SOURCE_DIR}/launcher/exports.def")
  # The resource script is copied at build time whenever the manifest, the string table or the
  # export list changes: a fresh script is compiled again and the starter linked again, also under
  # the Visual Studio generators, which honour neither OBJECT_DEPENDS nor LINK_DEPENDS.
  add_custom_command(OUTPUT "${gen}/starter.rc"
    COMMAND "${CMAKE_COMMAND}" -E copy "${gen}/starter.rc.configured" "${gen}/starter.rc"
    DEPENDS "${gen}/starter.rc.configured" "${STARTER_RESOURCE_DIR}/starter.manifest"
            "${STARTER_RESOURCE_DIR}/strings.rc"
            "${STARTER_RESOURCE_DIR}/string_ids.h" "${def}"
    VERBATIM)

  add_executable(${target} WIN32
    "${STARTER_SOURCE_DIR}/launcher/main.cpp"
    "${STARTER_SOURCE_DIR}/launcher/startup.cpp"
    "${STARTER_SOURCE_DIR}/launcher/exports.cpp"
    "${gen}/builtin_strings.cpp"
    "${gen}/starter.rc")
  target_link_libraries(${target} PRIVATE starter_core)
  # The import library and export file the exports give rise to stay in the variant's own folder:
  # every variant is named velmora. MinGW's import library is named after the executable
  # (libvelmora.exe.a), not after a DLL: velmora.dll is the main module's default name.
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME "${ARG_OUTPUT_NAME}"
    RUNTIME_OUTPUT_DIRECTORY "${ARG_OUTPUT_DIRECTORY}"
    ARCHIVE_OUTPUT_DIRECTORY "${gen}")
  if(NOT MSVC)
    set_target_properties(${target} PROPERTIES IMPORT_SUFFIX ".exe.a")
  endif()
  if(MSVC)
    # The resource script embeds the manifest; a second one from the linker would clash with it
    # (Visual Studio) or replace it (Ninja, NMake) and lose the common controls dependency.
    target_link_options(${target} PRIVATE "/DEF:${def}" /MANIFEST:NO)
  else()
    target_link_options(${target} PRIVATE -municode "${def}")
  endif()
endfunction()
