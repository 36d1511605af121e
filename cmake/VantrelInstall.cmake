# Installs the library, its header, a CMake package (Vantrel::vantrel) and a
# pkg-config file, in two install components:
#   runtime      the shared library (.so.N / .dll) and the licence
#   development  the header, the .so link or import library, the CMake
#                package and the pkg-config file
#   c_runtime    the C interface's shared library (libvantrel_c.so.N /
#                VantrelC.dll), whose header, link or import library and
#                pkg-config file vantrel-c.pc are development files too
# The tool installs its program as a further component, tool.
include(CMakePackageConfigHelpers)

option(VANTREL_DEBIAN_DOCS
  "Install the licence and changelog as the Debian packages want them" OFF)

set(VANTREL_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel"
  CACHE STRING "Where to install VantrelConfig.cmake")
set(VANTREL_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
  CACHE STRING "Where to install vantrel.pc")

# The Debug configuration's sub-build (VantrelWindows.cmake) installs its
# files into the same prefix first, component by component; the files both
# builds have (header, package files, licences) are then this build's.
if(TARGET vantrel_debug_configuration)
  foreach(component runtime development)
    install(CODE "
      execute_process(COMMAND \"${CMAKE_COMMAND}\" --install
          \"${VANTREL_DEBUG_BUILD_DIR}\" --config Debug
          --prefix \"\${CMAKE_INSTALL_PREFIX}\" --component ${component}
        RESULT_VARIABLE vantrel_debug_status)
      if(NOT vantrel_debug_status EQUAL 0)
        message(FATAL_ERROR \"installing the Debug configuration failed\")
      endif()" COMPONENT ${component})
  endforeach()
endif()

install(TARGETS vantrel
  EXPORT VantrelTargets
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime
    NAMELINK_COMPONENT development
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development
  PUBLIC_HEADER DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/vantrel"
    COMPONENT development)

# The Microsoft-ABI DLL's PDB beside it, for the debuggers and crash-dump
# tools that look for it there (the DLL names it without a directory).
if(MSVC)
  install(FILES "$<TARGET_PDB_FILE:vantrel>"
    DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime)
endif()

# The C interface's library (Vantrel::vantrel_c) and its header, in an
# export set of its own (VantrelCTargets.cmake). On Windows one release
# VantrelC.dll serves every configuration: the Debug sub-build has none,
# and a Debug host of the package gets the release one (CMake takes an
# imported target's only configuration when the host's is not among them).
# (In VantrelTargets the sub-build's export file would then differ from
# this build's, and installing this one would delete the sub-build's
# VantrelTargets-debug.cmake.)
if(TARGET vantrel_c)
  install(TARGETS vantrel_c
    EXPORT VantrelCTargets
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT c_runtime
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT c_runtime
      NAMELINK_COMPONENT development
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development
    PUBLIC_HEADER DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/vantrel"
      COMPONENT development)
  if(MSVC)
    install(FILES "$<TARGET_PDB_FILE:vantrel_c>"
      DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT c_runtime)
  endif()
endif()

install(EXPORT VantrelTargets
  NAMESPACE Vantrel::
  DESTINATION "${VANTREL_INSTALL_CMAKEDIR}"
  COMPONENT development)
if(TARGET vantrel_c)
  install(EXPORT VantrelCTargets
    NAMESPACE Vantrel::
    DESTINATION "${VANTREL_INSTALL_CMAKEDIR}"
    COMPONENT development)
endif()

configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/VantrelConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/VantrelConfig.cmake"
  INSTALL_DESTINATION "${VANTREL_INSTALL_CMAKEDIR}")
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/VantrelConfig.cmake"
  "${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake"
  DESTINATION "${VANTREL_INSTALL_CMAKEDIR}"
  COMPONENT development)

# The pkg-config file finds its prefix relative to its own place, so that
# the installed tree can be moved (pkg-config's ${pcfiledir}).
if(IS_ABSOLUTE "${VANTREL_INSTALL_PKGCONFIGDIR}")
  set(VANTREL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  # The path from the pkg-config directory up to the prefix: "../.." for
  # lib/pkgconfig, "../../.." for lib/<multiarch>/pkgconfig.
  set(vantrel_pc_up "${CMAKE_INSTALL_PREFIX}")
  cmake_path(RELATIVE_PATH vantrel_pc_up
    BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}/${VANTREL_INSTALL_PKGCONFIGDIR}")
  set(VANTREL_PC_PREFIX "\${pcfiledir}/${vantrel_pc_up}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(VANTREL_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(VANTREL_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
# One file per configuration, named after the configuration's library
# (CMake's <CONFIG>_POSTFIX): vantrel.pc with -lVantrel, and in the
# Microsoft-ABI Debug configuration vantreld.pc with -lVantrelD, so that a
# prefix holding both configurations has a right file for each.
set(VANTREL_PC_LIBNAME "$<TARGET_LINKER_FILE_BASE_NAME:vantrel>")
set(vantrel_pc_file
  "vantrel$<LOWER_CASE:$<TARGET_PROPERTY:vantrel,$<UPPER_CASE:$<CONFIG>>_POSTFIX>>.pc")
configure_file("${PROJECT_SOURCE_DIR}/cmake/vantrel.pc.in"
  "${PROJECT_BINARY_DIR}/vantrel.pc.in" @ONLY)
file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/pkgconfig/$<CONFIG>/${vantrel_pc_file}"
  INPUT "${PROJECT_BINARY_DIR}/vantrel.pc.in")
install(FILES "${PROJECT_BINARY_DIR}/pkgconfig/$<CONFIG>/${vantrel_pc_file}"
  DESTINATION "${VANTREL_INSTALL_PKGCONFIGDIR}"
  COMPONENT development)
# vantrel-c.pc for the C interface's library, which has one configuration.
if(TARGET vantrel_c)
  set(VANTREL_C_PC_LIBNAME "$<TARGET_LINKER_FILE_BASE_NAME:vantrel_c>")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/vantrel-c.pc.in"
    "${PROJECT_BINARY_DIR}/vantrel-c.pc.in" @ONLY)
  file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/pkgconfig/$<CONFIG>/vantrel-c.pc"
    INPUT "${PROJECT_BINARY_DIR}/vantrel-c.pc.in")
  install(FILES "${PROJECT_BINARY_DIR}/pkgconfig/$<CONFIG>/vantrel-c.pc"
    DESTINATION "${VANTREL_INSTALL_PKGCONFIGDIR}"
    COMPONENT development)
endif()

# The Debian packages carry the licence as each package's copyright file
# instead (see VantrelPackaging.cmake).
if(NOT VANTREL_DEBIAN_DOCS)
  install(FILES "${PROJECT_SOURCE_DIR}/LICENSE"
    DESTINATION "${CMAKE_INSTALL_DOCDIR}"
    COMPONENT runtime)
endif()
