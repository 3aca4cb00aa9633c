# link_delay_loaded(<target> <dll name>...): links <target> with system DLLs that are loaded at the
# first call into them rather than when the process starts. cmake/delayload/<dll name>.def lists
# the functions the code calls; MinGW builds a delay-import library from it, MSVC delay-loads the
# DLL's own import library.
set(DELAY_LOAD_DEF_DIR "${CMAKE_CURRENT_LIST_DIR}/delayload")

function(link_delay_loaded target)
  foreach(dll IN LISTS ARGN)
    if(MSVC)
      target_link_libraries(${target} PUBLIC ${dll} delayimp)
      target_link_options(${target} PUBLIC "/DELAYLOAD:${dll}.dll")
      continue()
    endif()
    set(def "${DELAY_LOAD_DEF_DIR}/${dll}.def")
    set(library "${CMAKE_CURRENT_BINARY_DIR}/lib${dll}_delayed.a")
    add_custom_command(OUTPUT "${library}"
      COMMAND "${CMAKE_DLLTOOL}" --input-def "${def}" --dllname ${dll}.dll --output-delaylib "${library}"
      DEPENDS "${def}"
      COMMENT "Delay-import library for ${dll}.dll")
    add_custom_target(${target}_${dll}_delayed DEPENDS "${library}")
    add_dependencies(${target} ${target}_${dll}_delayed)
    # Ahead of the toolchain's default import libraries, which name the same functions.
    target_link_libraries(${target} PUBLIC "${library}")
  endforeach()
endfunction()
