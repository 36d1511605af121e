# Cross-compiles for 64-bit Windows with the Microsoft ABI: clang-cl as the
# compiler, lld-link as the linker, Microsoft's open-source STL as the C++
# library and the Visual C++ 2015-2022 runtime DLLs (msvcp140.dll,
# vcruntime140.dll, ucrtbase.dll) as the runtime. Programs built with it
# share std::string, std::list and the heap with programs built by Visual
# C++ with /MD. Usable by any CMake project:
#
#   cmake -S . -B build -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=<vantrel>/cmake/toolchains/clang-cl-msvc.cmake
#
# Everything but the STL comes from Debian packages: clang-14 (clang-cl),
# lld-16 (lld-link), llvm-14 (llvm-lib, llvm-rc, llvm-dlltool, llvm-readobj),
# libwine-dev (Wine's C runtime and Windows headers) and wine64, which runs
# the programs (tests included: it is the cross-compiling emulator).
#
# The STL is an unpacked tree of microsoft/STL (with stl/inc and stl/src)
# named by the environment variable VANTREL_MSVC_STL_DIR, or else the pinned
# snapshot in ../shared/third_party/ next to the checkout, checked against
# its sha256 and unpacked into build/msvc-runtime/.
#
# What is neither in Debian nor in the STL (the Visual C++ runtime headers,
# mends of Wine's headers, the start-up library and the import libraries)
# is the project's own, in support/msvc/ (see its README). The libraries are
# built into build/msvc-runtime/ of the checkout the first time this file is
# used, and again whenever their sources change.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10.0)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

get_filename_component(_vantrel_checkout "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(_vantrel_layer "${_vantrel_checkout}/support/msvc")
set(_vantrel_runtime "${_vantrel_checkout}/build/msvc-runtime")

# --- Tools -------------------------------------------------------------------
find_program(CMAKE_C_COMPILER NAMES clang-cl-14 REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang-cl-14 REQUIRED)
# lld-link 14 writes the export table with ordinal base 0 and an empty slot;
# 16 writes it as Microsoft's linker does.
find_program(CMAKE_LINKER NAMES lld-link-16 REQUIRED)
find_program(CMAKE_AR NAMES llvm-lib-14 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES llvm-rc-14)
find_program(CMAKE_MT NAMES llvm-mt-14)
find_program(VANTREL_LLVM_DLLTOOL NAMES llvm-dlltool-14 REQUIRED)
find_program(VANTREL_LLVM_READOBJ NAMES llvm-readobj-14 REQUIRED)
find_program(VANTREL_LLVM_UNDNAME NAMES llvm-undname-14)
set(_vantrel_wine_include /usr/include/wine/wine)
set(_vantrel_wine_dlls /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
if(NOT EXISTS "${_vantrel_wine_include}/msvcrt/corecrt.h"
   OR NOT EXISTS "${_vantrel_wine_dlls}/msvcp140.dll")
  message(FATAL_ERROR "clang-cl-msvc: Wine's headers and DLLs are missing "
    "(${_vantrel_wine_include}, ${_vantrel_wine_dlls}): install libwine-dev "
    "and wine64")
endif()

# --- Microsoft's STL ---------------------------------------------------------
set(_vantrel_stl_commit b29a16b86e87ed8885367b14f58b948e4257d6d4)
set(_vantrel_stl_sha256
  f4d23e38973e7ed3af96e7c477eeee50001e25b4097f2aeef45442cfd1683bfe)
get_filename_component(_vantrel_stl_archive
  "${_vantrel_checkout}/../shared/third_party/msvc-stl-b29a16b86e87.tar.xz"
  ABSOLUTE)
if(DEFINED ENV{VANTREL_MSVC_STL_DIR} AND NOT "$ENV{VANTREL_MSVC_STL_DIR}" STREQUAL "")
  set(_vantrel_stl "$ENV{VANTREL_MSVC_STL_DIR}")
  if(NOT EXISTS "${_vantrel_stl}/stl/inc/yvals_core.h")
    message(FATAL_ERROR "clang-cl-msvc: VANTREL_MSVC_STL_DIR=${_vantrel_stl} "
      "has no stl/inc/yvals_core.h: it must be an unpacked tree of "
      "https://github.com/microsoft/STL (commit ${_vantrel_stl_commit})")
  endif()
elseif(EXISTS "${_vantrel_stl_archive}")
  set(_vantrel_stl "${_vantrel_runtime}/msvc-stl")
  if(NOT EXISTS "${_vantrel_stl}/.sha256-${_vantrel_stl_sha256}")
    file(SHA256 "${_vantrel_stl_archive}" _vantrel_sum)
    if(NOT _vantrel_sum STREQUAL _vantrel_stl_sha256)
      message(FATAL_ERROR "clang-cl-msvc: ${_vantrel_stl_archive} has sha256 "
        "${_vantrel_sum}, expected ${_vantrel_stl_sha256}")
    endif()
    file(REMOVE_RECURSE "${_vantrel_stl}")
    file(ARCHIVE_EXTRACT INPUT "${_vantrel_stl_archive}"
      DESTINATION "${_vantrel_runtime}")
    file(TOUCH "${_vantrel_stl}/.sha256-${_vantrel_stl_sha256}")
  endif()
else()
  message(FATAL_ERROR "clang-cl-msvc: Microsoft's STL was not found. Set the "
    "environment variable VANTREL_MSVC_STL_DIR to an unpacked tree of "
    "https://github.com/microsoft/STL at commit ${_vantrel_stl_commit}, or "
    "put the snapshot at ${_vantrel_stl_archive} "
    "(sha256 ${_vantrel_stl_sha256}).")
endif()

# The STL tree in use: a project that ships programs built with it ships its
# LICENSE.txt and NOTICE.txt too.
set(VANTREL_MSVC_STL_ROOT "${_vantrel_stl}")

# --- The project's own runtime layer -----------------------------------------
# Rebuilt when the layer's sources, the STL's place or the tools change.
file(GLOB_RECURSE _vantrel_layer_files "${_vantrel_layer}/*.h"
  "${_vantrel_layer}/*.c" "${_vantrel_layer}/*.cpp" "${_vantrel_layer}/*.cmake"
  "${_vantrel_layer}/*.def")
list(SORT _vantrel_layer_files)
set(_vantrel_key "${_vantrel_stl};${CMAKE_CXX_COMPILER};${_vantrel_wine_dlls}")
foreach(_vantrel_file IN LISTS _vantrel_layer_files)
  file(SHA256 "${_vantrel_file}" _vantrel_sum)
  string(APPEND _vantrel_key ";${_vantrel_sum}")
endforeach()
string(SHA256 _vantrel_key "${_vantrel_key}")
set(_vantrel_stamp "${_vantrel_runtime}/stamp")
set(_vantrel_stamp_value "")
if(EXISTS "${_vantrel_stamp}")
  file(READ "${_vantrel_stamp}" _vantrel_stamp_value)
endif()
if(NOT _vantrel_stamp_value STREQUAL _vantrel_key)
  file(MAKE_DIRECTORY "${_vantrel_runtime}")
  file(LOCK "${_vantrel_runtime}/lock" GUARD PROCESS TIMEOUT 600)
  if(EXISTS "${_vantrel_stamp}")
    file(READ "${_vantrel_stamp}" _vantrel_stamp_value)
  endif()
  if(NOT _vantrel_stamp_value STREQUAL _vantrel_key)
    message(STATUS "clang-cl-msvc: building the runtime libraries in ${_vantrel_runtime}")
    execute_process(
      COMMAND "${CMAKE_COMMAND}"
        "-DOUT=${_vantrel_runtime}" "-DSTL_DIR=${_vantrel_stl}"
        "-DCLANG_CL=${CMAKE_CXX_COMPILER}" "-DLLVM_LIB=${CMAKE_AR}"
        "-DLLVM_DLLTOOL=${VANTREL_LLVM_DLLTOOL}"
        "-DLLVM_READOBJ=${VANTREL_LLVM_READOBJ}"
        "-DWINE_DLL_DIR=${_vantrel_wine_dlls}"
        "-DWINE_INCLUDE_DIR=${_vantrel_wine_include}"
        -P "${_vantrel_layer}/build_runtime.cmake"
      RESULT_VARIABLE _vantrel_status)
    if(NOT _vantrel_status EQUAL 0)
      message(FATAL_ERROR "clang-cl-msvc: building the runtime libraries failed")
    endif()
    file(WRITE "${_vantrel_stamp}" "${_vantrel_key}")
  endif()
  file(LOCK "${_vantrel_runtime}/lock" RELEASE)
endif()

# --- Flags -------------------------------------------------------------------
# As *_INIT values, which CMake puts in front of the platform's defaults
# when it creates CMAKE_<LANG>_FLAGS. A user's -DCMAKE_<LANG>_FLAGS=...
# creates the variable before that, and CMake then ignores the _INIT value:
# the user's flags are then added to these here, below, so that they add to
# the toolchain's flags as they do with any other compiler.
#  /X            no INCLUDE environment variable: only these directories
#  /imsvc        system headers (no warnings from them), searched in order:
#                the layer's, the STL's, Wine's C runtime and Windows headers
#  _USE_STD_VECTOR_ALGORITHMS=0  the STL's vectorised algorithms are in a
#                source file that only Microsoft's compiler builds
set(_vantrel_flags "--target=x86_64-pc-windows-msvc -fms-compatibility-version=19.33 /X")
foreach(_vantrel_dir "${_vantrel_layer}/include" "${_vantrel_stl}/stl/inc"
        "${_vantrel_wine_include}/msvcrt" "${_vantrel_wine_include}/windows")
  string(APPEND _vantrel_flags " /imsvc \"${_vantrel_dir}\"")
endforeach()
string(APPEND _vantrel_flags " -D_USE_STD_VECTOR_ALGORITHMS=0")
set(CMAKE_C_FLAGS_INIT "${_vantrel_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_vantrel_flags}")
foreach(_vantrel_lang C CXX)
  if(DEFINED CACHE{CMAKE_${_vantrel_lang}_FLAGS}
     AND NOT "$CACHE{CMAKE_${_vantrel_lang}_FLAGS}" MATCHES "--target=x86_64-pc-windows-msvc")
    set(CMAKE_${_vantrel_lang}_FLAGS
      "${_vantrel_flags} $CACHE{CMAKE_${_vantrel_lang}_FLAGS}")
  endif()
endforeach()
set(CMAKE_RC_FLAGS_INIT "/I \"${_vantrel_wine_include}/windows\"")

# The runtime DLLs (/MD), and the debug runtime DLLs (/MDd) in the Debug
# configuration, as Visual C++ does: a host shares the STL's objects with
# the DLLs it loads only through the one msvcp140.dll (msvcp140d.dll). The
# debug runtime is not in Wine: Debug programs build here but run only on
# Windows with Visual C++ installed.
# A project or user may choose between the two DLL runtimes (for example
# MultiThreadedDLL in every configuration); the static runtime (/MT, /MTd:
# libcmt, libucrt, libvcruntime) is not part of this toolchain, and a host
# built with it would have a heap of its own, so choosing it stops here.
if(DEFINED CACHE{CMAKE_MSVC_RUNTIME_LIBRARY})
  if(NOT "$CACHE{CMAKE_MSVC_RUNTIME_LIBRARY}" MATCHES "DLL>*$")
    message(FATAL_ERROR "clang-cl-msvc: CMAKE_MSVC_RUNTIME_LIBRARY="
      "$CACHE{CMAKE_MSVC_RUNTIME_LIBRARY} asks for the static C++ runtime "
      "(/MT or /MTd), which this toolchain does not have: it links only "
      "the runtime DLLs (MultiThreadedDLL, /MD, or MultiThreadedDebugDLL, "
      "/MDd). A program that shares std::string and std::list with "
      "Vantrel.dll must use them anyway: with /MT it would have a heap of "
      "its own.")
  endif()
else()
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>DLL")
endif()

# The layer's libraries; no manifest (llvm-mt needs none, Wine reads none).
set(_vantrel_link_flags "/libpath:\"${_vantrel_runtime}/lib\" /manifest:no")
foreach(_vantrel_kind EXE SHARED MODULE)
  set(CMAKE_${_vantrel_kind}_LINKER_FLAGS_INIT "${_vantrel_link_flags}")
endforeach()
# Only kernel32 has an import library here (CMake's default list names the
# whole Windows SDK).
set(CMAKE_C_STANDARD_LIBRARIES "kernel32.lib" CACHE STRING "Libraries linked by default")
set(CMAKE_CXX_STANDARD_LIBRARIES "kernel32.lib" CACHE STRING "Libraries linked by default")

# Headers and libraries of other packages are found under the prefixes the
# user names (CMAKE_PREFIX_PATH), never in the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_IGNORE_PREFIX_PATH /usr /usr/local)

# --- Running the programs ----------------------------------------------------
# Under Wine, in a Wine prefix of the build tree's own (wine-run.sh).
find_program(VANTREL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(VANTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${VANTREL_WINE};${CMAKE_BINARY_DIR}/wineprefix")
endif()
