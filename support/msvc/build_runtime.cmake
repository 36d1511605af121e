# Builds the libraries that a program linked against the Microsoft-ABI
# runtime needs and that no free package ships, into OUT/lib:
#
#   msvcrt.lib    the start-up library (crt/) and the import libraries of
#                 vcruntime140.dll, vcruntime140_1.dll and ucrtbase.dll
#   msvcprt.lib   the STL sources that Microsoft's msvcprt.lib carries
#                 statically, and the import library of msvcp140.dll
#   msvcrtd.lib, msvcprtd.lib  the same for the debug runtime (/MDd):
#                 ucrtbased.dll, vcruntime140d.dll, vcruntime140_1d.dll and
#                 msvcp140d.dll, import libraries from debug/*.def
#   kernel32.lib  the import library of kernel32.dll
#   oldnames.lib  empty: the runtime names its functions the new way
#
# The import libraries are made with llvm-dlltool from the export tables of
# Wine's built-in DLLs, the runtime the programs then run on.
#
#   cmake -DOUT=... -DSTL_DIR=... -DCLANG_CL=... -DLLVM_LIB=...
#         -DLLVM_DLLTOOL=... -DLLVM_READOBJ=... -DWINE_DLL_DIR=...
#         -DWINE_INCLUDE_DIR=... -P build_runtime.cmake
#
# The toolchain file cmake/toolchains/clang-cl-msvc.cmake runs this when
# OUT/stamp does not match its inputs.
cmake_minimum_required(VERSION 3.20)

foreach(var OUT STL_DIR CLANG_CL LLVM_LIB LLVM_DLLTOOL LLVM_READOBJ
            WINE_DLL_DIR WINE_INCLUDE_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_runtime.cmake: ${var} is not set")
  endif()
endforeach()
set(layer "${CMAKE_CURRENT_LIST_DIR}")
set(obj "${OUT}/obj")
set(lib "${OUT}/lib")
file(REMOVE_RECURSE "${obj}" "${lib}")
file(MAKE_DIRECTORY "${obj}" "${lib}")

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status
    OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGV}")
    message(FATAL_ERROR "build_runtime.cmake: failed: ${command}\n${out}")
  endif()
endfunction()

# The same compiler flags as the toolchain file's, optimised, and without
# stack cookies: the start-up code sets the cookie, so no frame of it may
# check one.
set(flags
  --target=x86_64-pc-windows-msvc /nologo /X /O2 /GS- /EHsc /W3
  -fms-compatibility-version=19.33
  /imsvc "${layer}/include" /imsvc "${STL_DIR}/stl/inc"
  /imsvc "${WINE_INCLUDE_DIR}/msvcrt" /imsvc "${WINE_INCLUDE_DIR}/windows"
  -D_USE_STD_VECTOR_ALGORITHMS=0)

function(compile source object)
  if(source MATCHES "\\.c$")
    set(language_flags /TC)
  else()
    set(language_flags /TP /std:c++17)
  endif()
  run("${CLANG_CL}" ${flags} ${runtime} ${language_flags} ${ARGN} /c "/Fo${object}"
    -- "${source}")
endfunction()

# --- Import libraries ------------------------------------------------------
function(import_library dll)
  execute_process(
    COMMAND "${LLVM_READOBJ}" --coff-exports "${WINE_DLL_DIR}/${dll}.dll"
    OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "build_runtime.cmake: cannot read the exports of "
      "${WINE_DLL_DIR}/${dll}.dll (is Wine installed?)")
  endif()
  string(REGEX MATCHALL "\n *Name: [^\n]+" names "${dump}")
  set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
  foreach(name IN LISTS names)
    string(REGEX REPLACE "^\n *Name: " "" name "${name}")
    string(STRIP "${name}" name)
    string(APPEND def "  ${name}\n")
  endforeach()
  file(WRITE "${obj}/${dll}.def" "${def}")
  run("${LLVM_DLLTOOL}" -m i386:x86-64 -d "${obj}/${dll}.def"
    -l "${obj}/${dll}.lib" -D "${dll}.dll")
endfunction()
foreach(dll ucrtbase vcruntime140 vcruntime140_1 msvcp140 kernel32)
  import_library(${dll})
endforeach()

# --- msvcrt.lib: start-up library + C runtime imports ----------------------
set(runtime /MD)
file(GLOB crt_sources "${layer}/crt/*.c" "${layer}/crt/*.cpp")
set(crt_objects "")
foreach(source IN LISTS crt_sources)
  get_filename_component(name "${source}" NAME_WE)
  compile("${source}" "${obj}/crt_${name}.obj")
  list(APPEND crt_objects "${obj}/crt_${name}.obj")
endforeach()
run("${LLVM_LIB}" /nologo "/out:${lib}/msvcrt.lib" ${crt_objects}
  "${obj}/vcruntime140.lib" "${obj}/vcruntime140_1.lib" "${obj}/ucrtbase.lib")

# --- msvcprt.lib: the STL's static part + msvcp140 imports -----------------
set(stl_static_sources nothrow.cpp locale0_implib.cpp filesystem.cpp
  syserror_import_lib.cpp)
# The debug runtime's static part: what the programs built with it need.
set(stl_debug_sources nothrow.cpp locale0_implib.cpp syserror_import_lib.cpp)
set(stl_objects "")
foreach(source IN LISTS stl_static_sources)
  get_filename_component(name "${source}" NAME_WE)
  compile("${STL_DIR}/stl/src/${source}" "${obj}/stl_${name}.obj"
    /imsvc "${layer}/stl_build")
  list(APPEND stl_objects "${obj}/stl_${name}.obj")
endforeach()
run("${LLVM_LIB}" /nologo "/out:${lib}/msvcprt.lib" ${stl_objects}
  "${obj}/msvcp140.lib")

# --- The debug runtime (/MDd): msvcrtd.lib and msvcprtd.lib ----------------
# The same start-up library and STL sources, compiled for the debug
# runtime, with import libraries of ucrtbased.dll, vcruntime140d.dll,
# vcruntime140_1d.dll and msvcp140d.dll. Wine has none of these DLLs
# (Microsoft does not allow them to be redistributed), so their import
# libraries come from definition files of our own (debug/) that list the
# few names that the start-up library, the STL's static part and the
# programs built here need; each is a name the Visual C++ debug runtime
# exports. Programs linked with them run on Windows with Visual C++
# installed, not under Wine.
foreach(dll ucrtbased vcruntime140d vcruntime140_1d msvcp140d)
  run("${LLVM_DLLTOOL}" -m i386:x86-64 -d "${layer}/debug/${dll}.def"
    -l "${obj}/${dll}.lib" -D "${dll}.dll")
endforeach()
set(runtime /MDd)
set(crtd_objects "")
foreach(source IN LISTS crt_sources)
  get_filename_component(name "${source}" NAME_WE)
  compile("${source}" "${obj}/crtd_${name}.obj")
  list(APPEND crtd_objects "${obj}/crtd_${name}.obj")
endforeach()
run("${LLVM_LIB}" /nologo "/out:${lib}/msvcrtd.lib" ${crtd_objects}
  "${obj}/vcruntime140d.lib" "${obj}/vcruntime140_1d.lib" "${obj}/ucrtbased.lib")
set(stld_objects "")
foreach(source IN LISTS stl_debug_sources)
  get_filename_component(name "${source}" NAME_WE)
  compile("${STL_DIR}/stl/src/${source}" "${obj}/stld_${name}.obj"
    /imsvc "${layer}/stl_build")
  list(APPEND stld_objects "${obj}/stld_${name}.obj")
endforeach()
run("${LLVM_LIB}" /nologo "/out:${lib}/msvcprtd.lib" ${stld_objects}
  "${obj}/msvcp140d.lib")

file(COPY_FILE "${obj}/kernel32.lib" "${lib}/kernel32.lib")
file(WRITE "${obj}/empty.c" "typedef int vantrel_empty_translation_unit;\n")
compile("${obj}/empty.c" "${obj}/empty.obj")
run("${LLVM_LIB}" /nologo "/out:${lib}/oldnames.lib" "${obj}/empty.obj")
