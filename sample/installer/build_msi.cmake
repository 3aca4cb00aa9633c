# Builds the sample's Windows Installer packages from the staged sample installation:
#   cmake -DSTAGE=<staged installation> -DOUTPUT_DIR=<folder> -DWXS=<sample.wxs> -DWIXL=<wixl>
#         -DWIXL_HEAT=<wixl-heat> -DSTARTER=<starter file name> -DCOMPANY=... -DPRODUCT=...
#         -DKEY_VERSION=<major.minor> -DTITLE=... -DVERSIONS=<version>;<version>... -DNAMES=<file>;...
#         -P build_msi.cmake
# One package per version, each with that version as its InstallerBuild. wixl-heat harvests the
# installation's Bin (all but the starter, which the source names itself), Packages and AllUsers
# folders; wixl runs inside the staged installation, because it takes File/@Source relative to
# its working folder. Any warning of either tool fails the build: wixl goes on after an element
# or attribute it does not know, and the package would silently lack it.
cmake_minimum_required(VERSION 3.25)

function(run_tool)
  cmake_parse_arguments(RUN "" "INPUT;OUTPUT" "COMMAND" ${ARGN})
  set(redirect)
  if(RUN_INPUT)
    list(APPEND redirect INPUT_FILE "${RUN_INPUT}")
  endif()
  if(RUN_OUTPUT)
    list(APPEND redirect OUTPUT_FILE "${RUN_OUTPUT}")
  endif()
  execute_process(COMMAND ${RUN_COMMAND} ${redirect} WORKING_DIRECTORY "${STAGE}"
    RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
    list(JOIN RUN_COMMAND " " shown)
    message(FATAL_ERROR "${shown} failed (${result}):\n${errors}")
  endif()
endfunction()

# A fragment with one component per file below <folder>, in <directory>, grouped as <group>.
function(harvest folder directory group)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${STAGE}" "${STAGE}/${folder}/*")
  list(REMOVE_ITEM files "Bin/${STARTER}")
  list(SORT files)
  list(JOIN files "\n" listing)
  set(list_file "${OUTPUT_DIR}/harvest/${group}.txt")
  file(WRITE "${list_file}" "${listing}\n")
  run_tool(COMMAND "${WIXL_HEAT}" --directory-ref ${directory} --component-group ${group}
                   --var var.${group}Source -p ${folder}/ --win64
           INPUT "${list_file}" OUTPUT "${OUTPUT_DIR}/harvest/${group}.wxs")
endfunction()

file(REMOVE_RECURSE "${OUTPUT_DIR}")
file(MAKE_DIRECTORY "${OUTPUT_DIR}/harvest")
harvest(Bin BINDIR BinFiles)
harvest(Packages PACKAGESDIR PackageFiles)
harvest(AllUsers ALLUSERSDIR AllUsersFiles)

foreach(version name IN ZIP_LISTS VERSIONS NAMES)
  run_tool(COMMAND "${WIXL}" -a x64 -o "${OUTPUT_DIR}/${name}"
    -D ProductVersion=${version} -D InstallerBuild=${version} -D Starter=${STARTER}
    -D Company=${COMPANY} -D Product=${PRODUCT} -D KeyVersion=${KEY_VERSION} -D Title=${TITLE}
    -D Win64=yes -D BinFilesSource=Bin -D PackageFilesSource=Packages -D AllUsersFilesSource=AllUsers
    "${WXS}" "${OUTPUT_DIR}/harvest/BinFiles.wxs" "${OUTPUT_DIR}/harvest/PackageFiles.wxs"
    "${OUTPUT_DIR}/harvest/AllUsersFiles.wxs")
endforeach()
