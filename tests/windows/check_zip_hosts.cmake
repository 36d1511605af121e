# Builds the consumer project against the unpacked release archive PREFIX
# with the toolchain file, once per configuration a Visual C++ host may
# use, each time with find_package(Vantrel) and nothing else to choose the
# library:
#
#   host configuration            must import     run under Wine
#   Debug                         VantrelD.dll    no (no debug runtime)
#   Release                       Vantrel.dll     yes
#   RelWithDebInfo                Vantrel.dll     yes
#   MinSizeRel                    Vantrel.dll     yes
#   none (CMake's default: Debug) VantrelD.dll    no
#   Checked (a name of its own)   Vantrel.dll     yes
#
# and hosts that the toolchain file must serve as it serves any project:
#
#   C++20 (CMAKE_CXX_STANDARD 20)             builds and runs
#   CMAKE_CXX_FLAGS=/Gv (vectorcall default)  builds and runs: the flags add
#       to the toolchain's, and the header names the functions' __cdecl
#   CMAKE_MSVC_RUNTIME_LIBRARY=MultiThreaded  stops at configure, saying why
#   an object recording annotate_string 1, as an AddressSanitizer host's
#       objects do: links (the runtime check compares only the runtime
#       library and iterator debug level) and runs
#   the package's version file: refuses a 32-bit host (the toolchain's
#       compiler detection links, so CMAKE_SIZEOF_VOID_P is known)
#
# The configuration without CMAKE_BUILD_TYPE is docs/windows.md's host
# recipe as written. Each host imports the DLL of its own configuration
# and links its import library; each release host runs with that DLL
# copied next to it, under Wine through wine-run.sh.
#   cmake -DCONSUMER_DIR=... -DPREFIX=... -DWORK_DIR=... -DGENERATOR=...
#         -DTOOLCHAIN=... -DREADOBJ=... [-DWINE=...] -P check_zip_hosts.cmake
foreach(var CONSUMER_DIR PREFIX WORK_DIR GENERATOR TOOLCHAIN READOBJ)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${PREFIX}/lib/cmake/Vantrel/VantrelConfig.cmake")
  message(FATAL_ERROR "${PREFIX} is not an unpacked Vantrel archive")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
set(failed OFF)

# name, CMAKE_BUILD_TYPE ("-" for none), the DLL it must import, and
# whether it runs here; extra arguments go to the configure step.
function(check_host name config dll run)
  set(dir "${WORK_DIR}/${name}")
  set(type_arg "")
  if(NOT config STREQUAL "-")
    set(type_arg "-DCMAKE_BUILD_TYPE=${config}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${dir}"
      -G "${GENERATOR}" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
      "-DCMAKE_PREFIX_PATH=${PREFIX}" ${type_arg} ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(status EQUAL 0)
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${dir}" -v
      RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  endif()
  set(build_output "${out}" PARENT_SCOPE)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${name}: the host did not build:\n${out}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  # The import library on the link line is the DLL's own.
  string(REGEX REPLACE "\\.dll$" ".lib" lib "${dll}")
  if(NOT out MATCHES "[/\\\\]lib[/\\\\]${lib}[\" ]")
    message(SEND_ERROR "${name}: the link does not name lib/${lib}:\n${out}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  set(program "${dir}/vantrel_windows_consumer.exe")
  execute_process(COMMAND "${READOBJ}" --coff-imports "${program}"
    OUTPUT_VARIABLE imports RESULT_VARIABLE status)
  string(REGEX MATCHALL "Name: Vantrel[A-Za-z]*\\.dll" vantrel_imports "${imports}")
  if(NOT status EQUAL 0 OR NOT vantrel_imports STREQUAL "Name: ${dll}")
    message(SEND_ERROR "${name}: the host imports '${vantrel_imports}', "
      "expected ${dll} alone")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  if(NOT run OR NOT WINE)
    message(STATUS "${name}: links, imports ${dll}")
    return()
  endif()
  file(COPY "${PREFIX}/bin/${dll}" DESTINATION "${dir}")
  execute_process(COMMAND "${wine_run}" "${WINE}" "${wine_prefix}" "${program}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0 OR NOT output MATCHES "ok: 2 records")
    message(SEND_ERROR "${name}: the host failed (${status}): ${output}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  string(REGEX MATCH "ok: [^\n]*" output "${output}")
  message(STATUS "${name}: links, imports ${dll}, runs: ${output}")
endfunction()

# The hosts run through the build's own Wine wrapper, in a Wine prefix of
# their own, on one Wine server that stays up from the first host to the
# last (wine-run.sh says why).
set(wine_run "${CMAKE_CURRENT_LIST_DIR}/../../cmake/toolchains/wine-run.sh")
set(wine_prefix "${WORK_DIR}/wineprefix")
if(WINE)
  execute_process(COMMAND "${wine_run}" --start-server "${WINE}" "${wine_prefix}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the Wine server did not start (${status}): ${out}")
  endif()
endif()

check_host(debug Debug VantrelD.dll OFF)
check_host(release Release Vantrel.dll ON)
check_host(relwithdebinfo RelWithDebInfo Vantrel.dll ON)
check_host(minsizerel MinSizeRel Vantrel.dll ON)
check_host(default - VantrelD.dll OFF)
# A configuration of the host's own, compiled as Release is.
check_host(custom Checked Vantrel.dll ON
  "-DCMAKE_CXX_FLAGS_CHECKED=/O2 /Ob2 /DNDEBUG"
  "-DCMAKE_EXE_LINKER_FLAGS_CHECKED=/INCREMENTAL:NO")

check_host(cxx20 Release Vantrel.dll ON -DCMAKE_CXX_STANDARD=20)
if(NOT build_output MATCHES "-std:c\\+\\+20")
  message(SEND_ERROR "cxx20: the host was not compiled as C++20:\n${build_output}")
  set(failed ON)
endif()
check_host(vectorcall Release Vantrel.dll ON "-DCMAKE_CXX_FLAGS=/Gv")
if(NOT build_output MATCHES "--target=x86_64-pc-windows-msvc[^\n]* /Gv ")
  message(SEND_ERROR "vectorcall: /Gv did not add to the toolchain's flags:\n${build_output}")
  set(failed ON)
endif()
check_host(asan_record Release Vantrel.dll ON -DVANTREL_CONSUMER_ASAN_RECORD=ON)
if(NOT build_output MATCHES "asan_record\\.cpp")
  message(SEND_ERROR "asan_record: the record's object was not built:\n${build_output}")
  set(failed ON)
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}"
    -B "${WORK_DIR}/static_runtime" -G "${GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_PREFIX_PATH=${PREFIX}"
    -DCMAKE_MSVC_RUNTIME_LIBRARY=MultiThreaded
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(status EQUAL 0 OR NOT out MATCHES "static[ \n]+C\\+\\+[ \n]+runtime")
  message(SEND_ERROR "static_runtime: configuring did not stop with the "
    "reason (${status}):\n${out}")
  set(failed ON)
else()
  message(STATUS "static_runtime: stops at configure, as it must")
endif()

# (CMake's message text is wrapped: any blank may be a line break.)
# The version file as find_package runs it, for a 64-bit and a 32-bit host.
foreach(bits 8 4)
  set(CMAKE_SIZEOF_VOID_P ${bits})
  set(PACKAGE_FIND_VERSION 1.0)
  set(PACKAGE_FIND_VERSION_MAJOR 1)
  set(PACKAGE_VERSION_UNSUITABLE FALSE)
  include("${PREFIX}/lib/cmake/Vantrel/VantrelConfigVersion.cmake")
  if(bits EQUAL 8 AND (PACKAGE_VERSION_UNSUITABLE OR NOT PACKAGE_VERSION_COMPATIBLE))
    message(SEND_ERROR "the package refuses a 64-bit host")
    set(failed ON)
  elseif(bits EQUAL 4 AND NOT PACKAGE_VERSION_UNSUITABLE)
    message(SEND_ERROR "the package accepts a 32-bit host")
    set(failed ON)
  endif()
endforeach()

if(WINE)
  execute_process(COMMAND "${wine_run}" --stop-server "${WINE}" "${wine_prefix}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "the Wine server did not stop (${status}): ${out}")
    set(failed ON)
  endif()
endif()
if(failed)
  message(FATAL_ERROR "a host does not get the DLL of its configuration")
endif()
