# Builds the sample's Windows Installer packages from the staged sample installation:
#   cmake -DSTAGE=<staged installation> -DOUTPUT_DIR=<folder> -DWXS=<sample.wxs> -DWIXL=<wixl>
#         -DWIXL_HEAT=<wixl-heat> -DSTARTER=<starter file name> -DCOMPANY=... -DPRODUCT=...
#         -DKEY_VERSION=<major.minor> -DTITLE=... -DVERSIONS=<version>;<version>... -DNAMES=<file>;...
#         -P build_msi.cmake
# One package per version, each with that version as its InstallerBuild and its Active Setup
# version. wixl-heat harvests the
# installation's Bin (all but the starter, which the source names itself), Packages and AllUsers
# folders; wixl runs inside the staged installation, because it takes File/@Source relative to
# its working folder. Any warning of either tool fails the build: wixl goes on after an element
# or attribute it does not know, and the package would silently lack it. What wixl cannot write
# is then set in the package's tables with msibuild (msitools, beside wixl).
cmake_minimum_required(VERSION 3.25)

get_filename_component(tools_dir "${WIXL}" DIRECTORY)
find_program(MSIBUILD msibuild HINTS "${tools_dir}" REQUIRED)
find_program(MSIINFO msiinfo HINTS "${tools_dir}" REQUIRED)

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

# The export of <table> in <package>, its rows one a line, fields separated by tabs. Matched with
# regular expressions rather than split into lists: registry keys end with backslashes, which
# would escape CMake's list separators.
function(table_text package table out)
  execute_process(COMMAND "${MSIINFO}" export "${package}" ${table} OUTPUT_VARIABLE text RESULT_VARIABLE result
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "msiinfo export ${package} ${table} failed (${result}):\n${errors}")
  endif()
  string(REPLACE "\r" "" text "${text}")
  set(${out} "\n${text}" PARENT_SCOPE)
endfunction()

# Matches <expression> against the export of <table>; fails the build when nothing matches.
function(match_row package table expression)
  table_text("${package}" ${table} text)
  if(NOT text MATCHES "${expression}")
    message(FATAL_ERROR "${package}: no row of ${table} matches ${expression}")
  endif()
  foreach(group RANGE 1 5)
    set(CMAKE_MATCH_${group} "${CMAKE_MATCH_${group}}" PARENT_SCOPE)
  endforeach()
endfunction()

function(run_query package query)
  run_tool(COMMAND "${MSIBUILD}" "${package}" -q "${query}")
endfunction()

# What wixl 0.101 cannot write, set in the built package:
function(complete_package package)
  # msidbCustomActionTypeTSAware (0x4000): impersonated also in a per-machine installation on a
  # terminal server, where an impersonated deferred action otherwise runs as the system account.
  foreach(action IN ITEMS MarkUpgrade RecordActiveSetup)
    match_row("${package}" CustomAction "\n${action}\t([0-9]+)\t")
    math(EXPR type "${CMAKE_MATCH_1} | 0x4000")
    run_query("${package}" "UPDATE `CustomAction` SET `Type` = ${type} WHERE `Action` = '${action}'")
  endforeach()
  # msidbUpgradeAttributesVersionMaxInclusive (0x200) on the same-version row, which wixl drops.
  # Attributes belongs to the table's key: the row is written anew.
  set(field "([^\t\n]*)")
  match_row("${package}" Upgrade "\n${field}\t${field}\t${field}\t[^\t\n]*\t([0-9]+)\t[^\t\n]*\tSAMEVERSION_DETECTED\n")
  set(code "${CMAKE_MATCH_1}")
  set(minimum "${CMAKE_MATCH_2}")
  set(maximum "${CMAKE_MATCH_3}")
  math(EXPR attributes "${CMAKE_MATCH_4} | 0x200")
  run_query("${package}" "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'SAMEVERSION_DETECTED'")
  run_query("${package}" "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('${code}', '${minimum}', '${maximum}', ${attributes}, 'SAMEVERSION_DETECTED')")
  # HKMU is root -1 (HKLM in a per-machine installation, HKCU in a per-user one); wixl writes 4,
  # which is no root at all.
  run_query("${package}" "UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4")
  # Name "-" without a value: the Active Setup key goes whole when its component is removed.
  match_row("${package}" Registry "\n[^\t\n]*\t2\t([^\t\n]*)\tStubPath\t[^\n]*\tActiveSetup\n")
  run_query("${package}" "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES ('ActiveSetupKey', 2, '${CMAKE_MATCH_1}', '-', 'ActiveSetup')")
endfunction()

foreach(version name IN ZIP_LISTS VERSIONS NAMES)
  string(REPLACE "." "," active_setup_version "${version}")
  run_tool(COMMAND "${WIXL}" -a x64 -o "${OUTPUT_DIR}/${name}"
    -D ProductVersion=${version} -D InstallerBuild=${version} -D ActiveSetupVersion=${active_setup_version}
    -D Starter=${STARTER}
    -D Company=${COMPANY} -D Product=${PRODUCT} -D KeyVersion=${KEY_VERSION} -D Title=${TITLE}
    -D Win64=yes -D BinFilesSource=Bin -D PackageFilesSource=Packages -D AllUsersFilesSource=AllUsers
    "${WXS}" "${OUTPUT_DIR}/harvest/BinFiles.wxs" "${OUTPUT_DIR}/harvest/PackageFiles.wxs"
    "${OUTPUT_DIR}/harvest/AllUsersFiles.wxs")
  complete_package("${OUTPUT_DIR}/${name}")
endforeach()
