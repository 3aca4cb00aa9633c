# The module kit: the headers of the contracts between the starter and its modules
# (include/velmora), which the starter, the sample's modules and the test modules all compile
# against, so that a change to a contract breaks all of them at once. The package below
# installs them with the starter, its import library and include/velmora/localization.def.
include(GNUInstallDirs)

add_library(velmora_sdk INTERFACE)
target_include_directories(velmora_sdk INTERFACE
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>" "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
set_target_properties(velmora_sdk PROPERTIES EXPORT_NAME sdk)
add_library(VelmoraStarter::sdk ALIAS velmora_sdk)

set(VELMORA_LOCALIZATION_DEF "${PROJECT_SOURCE_DIR}/include/velmora/localization.def")

# install_module_kit(<starter target>): what `cmake --install` puts under the prefix, and the
# CMake package VelmoraStarter that find_package finds there:
#   bin/velmora.exe                          the starter
#   lib/libvelmora.exe.a (MSVC: velmora.lib) its import library
#   include/velmora/*.h, localization.def    the kit
#   lib/cmake/VelmoraStarter/                VelmoraStarter::sdk (the headers),
#                                            VelmoraStarter::exports (sdk and the import library),
#                                            VelmoraStarter::starter (the executable)
# Every path in the package is relative to the file that names it: the installed folder can move.
function(install_module_kit starter)
  set_target_properties(${starter} PROPERTIES ENABLE_EXPORTS ON)
  add_library(velmora_exports INTERFACE)
  target_link_libraries(velmora_exports INTERFACE velmora_sdk ${starter})
  set_target_properties(velmora_exports PROPERTIES EXPORT_NAME exports)
  add_library(VelmoraStarter::exports ALIAS velmora_exports)

  set(package_dir "${CMAKE_INSTALL_LIBDIR}/cmake/VelmoraStarter")
  install(TARGETS ${starter} velmora_sdk velmora_exports EXPORT VelmoraStarterTargets
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/velmora" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
  install(EXPORT VelmoraStarterTargets NAMESPACE VelmoraStarter:: DESTINATION "${package_dir}")

  include(CMakePackageConfigHelpers)
  set(LOCALIZATION_DEF "${CMAKE_INSTALL_INCLUDEDIR}/velmora/localization.def")
  configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/VelmoraStarterConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/package/VelmoraStarterConfig.cmake"
    INSTALL_DESTINATION "${package_dir}" PATH_VARS LOCALIZATION_DEF)
  # A project that asks for 1.0 takes any 1.x starter: a contract changes only with the major
  # version. The package is for 64-bit consumers only (the version file checks the pointer size).
  write_basic_package_version_file("${PROJECT_BINARY_DIR}/package/VelmoraStarterConfigVersion.cmake"
    VERSION "${PROJECT_VERSION}" COMPATIBILITY SameMajorVersion)
  install(FILES "${PROJECT_BINARY_DIR}/package/VelmoraStarterConfig.cmake"
    "${PROJECT_BINARY_DIR}/package/VelmoraStarterConfigVersion.cmake" DESTINATION "${package_dir}")
endfunction()
