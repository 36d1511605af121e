# VantrelC.dll, the C interface's DLL, in the Windows builds: one release
# DLL for every host. Only C types cross its boundary and it frees what it
# allocates itself (vantrel_free, vantrel_free_text), so a host of any
# runtime configuration (Debug /MDd, Release /MD, /MT), compiler or
# language links the same VantrelC.dll (VantrelC.lib, or libVantrelC.dll.a
# for MinGW): it has no Debug configuration of its own, no VantrelCD.dll,
# and its import library holds no runtime check.
#
# Its runtime. MinGW: the GCC runtime linked statically, as Vantrel.dll's.
# Microsoft ABI: the Visual C++ runtime DLLs (/MD), as Vantrel.dll's. The
# static runtime (/MT: libcmt, libvcruntime, libucrt) would spare a /MT
# host the Visual C++ redistributable, but it is not part of the clang-cl
# toolchain file (Wine has no static runtime, and Microsoft's may not be
# used here); with /MD the DLL still shares no heap and no STL object with
# its host, which is what serving every host needs.
#
# Like Vantrel.dll it carries (Microsoft ABI) a PDB named without a
# directory, a version resource, Control Flow Guard and CET compatibility.
if(NOT MSVC OR NOT TARGET vantrel_c)
  return()
endif()

target_compile_options(vantrel_c PRIVATE /Z7 /guard:cf)
target_link_options(vantrel_c PRIVATE
  /DEBUG:FULL /OPT:REF /OPT:NOICF "/PDBALTPATH:%_PDB%" /guard:cf /CETCOMPAT)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND vantrel_path_maps)
  foreach(vantrel_map IN LISTS vantrel_path_maps)
    target_compile_options(vantrel_c PRIVATE "/clang:-ffile-prefix-map=${vantrel_map}")
  endforeach()
  target_link_options(vantrel_c PRIVATE "/PDBSOURCEPATH:/vantrel-build")
endif()

# The version resource, from the same template as Vantrel.dll's (its own
# copy: the file name it names is a property of the source file).
configure_file("${PROJECT_SOURCE_DIR}/cmake/windows/vantrel.rc.in"
  "${PROJECT_BINARY_DIR}/vantrel_c.rc" @ONLY)
target_sources(vantrel_c PRIVATE "${PROJECT_BINARY_DIR}/vantrel_c.rc")
set_property(SOURCE "${PROJECT_BINARY_DIR}/vantrel_c.rc" TARGET_DIRECTORY vantrel_c
  APPEND PROPERTY
  COMPILE_DEFINITIONS
    "VANTREL_FILE_NAME=\"$<TARGET_FILE_NAME:vantrel_c>\""
    "$<$<CONFIG:Debug>:VANTREL_DEBUG_BUILD>")
