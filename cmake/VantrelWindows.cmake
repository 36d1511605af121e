# What the Microsoft-ABI DLL (Visual C++'s cl.exe or clang-cl) has beyond
# the library itself, so that a Windows shop can ship it and a Windows host
# can link it safely:
#
#  - Debug configuration: VantrelD.dll / VantrelD.lib / VantrelD.pdb, built
#    with the debug runtime (/MDd), for hosts built /MDd;
#  - a PDB beside the DLL (/Z7 objects, /DEBUG:FULL) whose CodeView entry
#    names only the file (/PDBALTPATH), with /OPT:REF and /OPT:NOICF kept;
#  - a version resource (VS_VERSION_INFO) from the project's version;
#  - Control Flow Guard (/guard:cf) and CET shadow-stack compatibility;
#  - an object in each import library that makes the link of a host built
#    with the other runtime library or iterator debug level fail (see the
#    ABI section of the public header and src/windows/runtime_check.cpp).
if(NOT MSVC)
  return()
endif()

enable_language(RC)

# VantrelD: the configuration the file name tells.
set_target_properties(vantrel PROPERTIES DEBUG_POSTFIX D)

# Debug information in the objects (/Z7: no compile-time PDB shared between
# parallel compilations), gathered into the DLL's PDB by the linker.
foreach(vantrel_target vantrel vantrel_objects)
  target_compile_options(${vantrel_target} PRIVATE /Z7 /guard:cf)
endforeach()
# /DEBUG turns /OPT:REF off unless it is named. Identical-code folding would
# give functions with the same machine code one address, and the parse pair
# (and the write pair) compile to the same code: each export keeps an
# address of its own (/OPT:NOICF).
target_link_options(vantrel PRIVATE
  /DEBUG:FULL /OPT:REF /OPT:NOICF "/PDBALTPATH:%_PDB%" /guard:cf /CETCOMPAT)

# Build paths. With clang-cl the objects' debug information and __FILE__
# (which the Debug STL's checks report) name the sources as /vantrel/...,
# the STL's as /msvc-stl/... and the build tree as /vantrel-build, not by
# their places on the build machine. The PDB still holds the compiler's
# and linker's command lines, with the include and library directories:
# clang 14 and lld-link 16 have no option to leave them out, and lld-link
# 16 writes no public (stripped) PDB (it ignores /PDBSTRIPPED).
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(vantrel_path_maps
    "${PROJECT_BINARY_DIR}=/vantrel-build" "${PROJECT_SOURCE_DIR}=/vantrel")
  if(VANTREL_MSVC_STL_ROOT)
    list(PREPEND vantrel_path_maps "${VANTREL_MSVC_STL_ROOT}=/msvc-stl")
  endif()
  foreach(vantrel_target vantrel vantrel_objects)
    foreach(vantrel_map IN LISTS vantrel_path_maps)
      target_compile_options(${vantrel_target} PRIVATE
        "/clang:-ffile-prefix-map=${vantrel_map}")
    endforeach()
  endforeach()
  target_link_options(vantrel PRIVATE "/PDBSOURCEPATH:/vantrel-build")
endif()

# The version resource. The file version's fourth part is the build
# number: VANTREL_BUILD_NUMBER (a CMake variable or the environment's, as a
# CI system counts its builds), else the number of commits in the checkout
# at configure time, else 0. The product version is the project's.
if(NOT DEFINED VANTREL_BUILD_NUMBER)
  set(VANTREL_BUILD_NUMBER "$ENV{VANTREL_BUILD_NUMBER}")
endif()
if(VANTREL_BUILD_NUMBER STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" rev-list --count HEAD
      WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
      OUTPUT_VARIABLE VANTREL_BUILD_NUMBER OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE vantrel_git_status ERROR_QUIET)
    if(NOT vantrel_git_status EQUAL 0)
      set(VANTREL_BUILD_NUMBER "")
    endif()
  endif()
endif()
if(VANTREL_BUILD_NUMBER STREQUAL "")
  set(VANTREL_BUILD_NUMBER 0)
endif()
if(NOT VANTREL_BUILD_NUMBER MATCHES "^[0-9]+$" OR VANTREL_BUILD_NUMBER GREATER 65535)
  message(FATAL_ERROR "VANTREL_BUILD_NUMBER=${VANTREL_BUILD_NUMBER}: the "
    "fourth part of a Windows file version is a number from 0 to 65535")
endif()
set(VANTREL_FILE_VERSION "${PROJECT_VERSION}.${VANTREL_BUILD_NUMBER}")
set(VANTREL_COMPANY "The Vantrel authors")
set(VANTREL_COPYRIGHT "Copyright (c) 2026 The Vantrel authors. MIT License.")
configure_file("${PROJECT_SOURCE_DIR}/cmake/windows/vantrel.rc.in"
  "${PROJECT_BINARY_DIR}/vantrel.rc" @ONLY)
target_sources(vantrel PRIVATE "${PROJECT_BINARY_DIR}/vantrel.rc")
set_property(SOURCE "${PROJECT_BINARY_DIR}/vantrel.rc" APPEND PROPERTY
  COMPILE_DEFINITIONS
    "VANTREL_FILE_NAME=\"$<TARGET_FILE_NAME:vantrel>\""
    "$<$<CONFIG:Debug>:VANTREL_DEBUG_BUILD>")

# The runtime check: compiled like the DLL's objects, then added to the
# import library that the linker has just written.
add_library(vantrel_runtime_check OBJECT src/windows/runtime_check.cpp)
# It goes into the import library, which hosts link: no debug information,
# which would name the object's path in the build tree (clang-cl).
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(vantrel_runtime_check PRIVATE /clang:-g0)
endif()
target_compile_features(vantrel_runtime_check PRIVATE cxx_std_17)
vantrel_set_warnings(vantrel_runtime_check)
add_dependencies(vantrel vantrel_runtime_check)
# A changed check relinks the DLL, which rewrites the import library.
set_property(TARGET vantrel APPEND PROPERTY
  LINK_DEPENDS $<TARGET_OBJECTS:vantrel_runtime_check>)
# The object is copied next to the import library first and added by its
# bare name, which becomes the member's name (runtime_check.obj, not the
# object's path in the build tree).
add_custom_command(TARGET vantrel POST_BUILD
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_OBJECTS:vantrel_runtime_check>"
    "$<TARGET_LINKER_FILE_DIR:vantrel>/runtime_check.obj"
  COMMAND "${CMAKE_AR}" /nologo "/out:$<TARGET_LINKER_FILE_NAME:vantrel>"
    "$<TARGET_LINKER_FILE_NAME:vantrel>" runtime_check.obj
  WORKING_DIRECTORY "$<TARGET_LINKER_FILE_DIR:vantrel>"
  COMMENT "Adding the runtime check to $<TARGET_LINKER_FILE_NAME:vantrel>"
  VERBATIM)
# Programs that link the library's objects directly (the unit tests, the
# model comparisons, the fuzz replays) may have objects compiled without
# VANTREL_STATIC that reference the check: they get the object itself.
target_sources(vantrel_objects INTERFACE
  $<TARGET_OBJECTS:vantrel_runtime_check>)

# --- The Debug configuration -------------------------------------------------
# A Visual C++ project builds Debug by default, and a Debug host needs
# VantrelD.dll. A single-configuration build of another configuration builds
# the library's Debug configuration too, as a sub-build of the library alone
# (no tests, examples or tool: the debug runtime is not in Wine, so nothing
# Debug runs here; nor VantrelC.dll, whose one release DLL serves Debug
# hosts too) in <build>/debug-configuration, with the same toolchain,
# and installs it with its own files into the same prefix (and so into the
# release archive). A multi-configuration build (CMAKE_CONFIGURATION_TYPES)
# builds Debug itself.
get_property(vantrel_multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
set(vantrel_debug_default OFF)
if(VANTREL_TOP_LEVEL AND VANTREL_INSTALL AND NOT vantrel_multi_config
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(vantrel_debug_default ON)
endif()
option(VANTREL_DEBUG_CONFIGURATION
  "Build and install the Debug configuration (VantrelD.dll) beside this one"
  ${vantrel_debug_default})
if(VANTREL_DEBUG_CONFIGURATION)
  if(vantrel_multi_config OR CMAKE_BUILD_TYPE STREQUAL "Debug")
    message(FATAL_ERROR "VANTREL_DEBUG_CONFIGURATION is for a single-"
      "configuration build of a release configuration: this build "
      "(${CMAKE_GENERATOR}, '${CMAKE_BUILD_TYPE}') builds Debug itself")
  endif()
  include(ExternalProject)
  set(VANTREL_DEBUG_BUILD_DIR "${PROJECT_BINARY_DIR}/debug-configuration")
  set(vantrel_debug_args
    -DCMAKE_BUILD_TYPE=Debug
    -DVANTREL_DEBUG_CONFIGURATION=OFF
    -DVANTREL_BUILD_C_LIBRARY=OFF
    -DVANTREL_WERROR=${VANTREL_WERROR}
    -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_EXAMPLES=OFF
    -DVANTREL_BUILD_TOOLS=OFF -DVANTREL_BUILD_PYTHON=OFF
    "-DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}")
  # What decides the files and their places is the same in both builds.
  foreach(var CMAKE_TOOLCHAIN_FILE CMAKE_CXX_COMPILER_LAUNCHER
          CMAKE_C_COMPILER_LAUNCHER CMAKE_INSTALL_BINDIR CMAKE_INSTALL_LIBDIR
          CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_DOCDIR
          VANTREL_INSTALL_CMAKEDIR VANTREL_INSTALL_PKGCONFIGDIR
          VANTREL_BUILD_NUMBER)
    if(DEFINED ${var} AND NOT "${${var}}" STREQUAL "")
      list(APPEND vantrel_debug_args "-D${var}=${${var}}")
    endif()
  endforeach()
  # Always built (its own Ninja decides what is out of date); installed by
  # VantrelInstall.cmake.
  ExternalProject_Add(vantrel_debug_configuration
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${VANTREL_DEBUG_BUILD_DIR}"
    PREFIX "${PROJECT_BINARY_DIR}/debug-configuration-steps"
    CMAKE_ARGS ${vantrel_debug_args}
    BUILD_COMMAND "${CMAKE_COMMAND}" --build "${VANTREL_DEBUG_BUILD_DIR}"
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endif()
