# C hosts of every configuration built against the unpacked release archive
# PREFIX with the toolchain file (c_consumer/, Vantrel::vantrel_c): each
# links lib/VantrelC.lib and imports VantrelC.dll, the one release DLL,
# whatever its own configuration; the release ones run under Wine with
# bin/VantrelC.dll copied next to them.
#
#   host configuration            runtime   run under Wine
#   Debug                         /MDd      no (no debug runtime)
#   none (CMake's default: Debug) /MDd      no
#   Release                       /MD       yes
#   MinSizeRel                    /MD       yes
#
#   cmake -DCONSUMER_DIR=... -DPREFIX=... -DWORK_DIR=... -DGENERATOR=...
#         -DTOOLCHAIN=... -DREADOBJ=... [-DWINE=...] -P check_zip_c_hosts.cmake
cmake_minimum_required(VERSION 3.20)

foreach(var CONSUMER_DIR PREFIX WORK_DIR GENERATOR TOOLCHAIN READOBJ)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
foreach(file bin/VantrelC.dll lib/VantrelC.lib include/vantrel/vantrel.h)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "${PREFIX} has no ${file}")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
set(failed OFF)
set(ENV{WINEPREFIX} "${WORK_DIR}/wineprefix")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")

# name, CMAKE_BUILD_TYPE ("-" for none), the runtime DLL it must import
# (ucrtbase.dll or ucrtbased.dll), whether it runs here.
function(check_c_host name config runtime run)
  set(dir "${WORK_DIR}/${name}")
  set(type_arg "")
  if(NOT config STREQUAL "-")
    set(type_arg "-DCMAKE_BUILD_TYPE=${config}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${dir}"
      -G "${GENERATOR}" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
      "-DCMAKE_PREFIX_PATH=${PREFIX}" ${type_arg}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(status EQUAL 0)
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${dir}" -v
      RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  endif()
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${name}: the C host did not build:\n${out}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  if(NOT out MATCHES "[/\\\\]lib[/\\\\]VantrelC\\.lib[\" ]")
    message(SEND_ERROR "${name}: the link does not name lib/VantrelC.lib:\n${out}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  set(program "${dir}/vantrel_c_consumer.exe")
  execute_process(COMMAND "${READOBJ}" --coff-imports "${program}"
    OUTPUT_VARIABLE imports RESULT_VARIABLE status)
  string(REGEX MATCHALL "Name: [A-Za-z0-9_.-]+\\.dll" dlls "${imports}")
  string(TOLOWER "${dlls}" dlls)
  if(NOT status EQUAL 0 OR NOT "name: vantrelc.dll" IN_LIST dlls
     OR NOT "name: ${runtime}" IN_LIST dlls OR "name: vantrel.dll" IN_LIST dlls
     OR "name: vantreld.dll" IN_LIST dlls)
    message(SEND_ERROR "${name}: the C host imports [${dlls}], expected "
      "VantrelC.dll and ${runtime}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  if(NOT run OR NOT WINE)
    message(STATUS "${name}: links VantrelC.lib, imports VantrelC.dll and ${runtime}")
    return()
  endif()
  file(COPY "${PREFIX}/bin/VantrelC.dll" DESTINATION "${dir}")
  execute_process(COMMAND "${WINE}" "${program}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0 OR NOT output MATCHES "all checks passed")
    message(SEND_ERROR "${name}: the C host failed (${status}): ${output}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  string(REGEX MATCH "c host[^\n]*" output "${output}")
  message(STATUS "${name}: links VantrelC.lib, imports VantrelC.dll and ${runtime}, runs: ${output}")
endfunction()

check_c_host(debug Debug ucrtbased.dll OFF)
check_c_host(default - ucrtbased.dll OFF)
check_c_host(release Release ucrtbase.dll ON)
check_c_host(minsizerel MinSizeRel ucrtbase.dll ON)

if(WINE)
  # Stop this prefix's Wine server, which would linger after the runs.
  get_filename_component(wine_dir "${WINE}" DIRECTORY)
  find_program(WINESERVER NAMES wineserver PATHS "${wine_dir}")
  if(WINESERVER)
    execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
  endif()
endif()
if(failed)
  message(FATAL_ERROR "a C host of the archive does not link or run with VantrelC.dll")
endif()
