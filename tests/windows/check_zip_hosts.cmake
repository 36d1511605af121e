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
# The configuration without CMAKE_BUILD_TYPE is docs/windows.md's host
# recipe as written. Each host imports the DLL of its own configuration
# and links its import library; each release host runs with that DLL
# copied next to it.
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
  execute_process(COMMAND "${WINE}" "${program}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0 OR NOT output MATCHES "ok: 2 records")
    message(SEND_ERROR "${name}: the host failed (${status}): ${output}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  string(REGEX MATCH "ok: [^\n]*" output "${output}")
  message(STATUS "${name}: links, imports ${dll}, runs: ${output}")
endfunction()

set(ENV{WINEPREFIX} "${WORK_DIR}/wineprefix")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")

check_host(debug Debug VantrelD.dll OFF)
check_host(release Release Vantrel.dll ON)
check_host(relwithdebinfo RelWithDebInfo Vantrel.dll ON)
check_host(minsizerel MinSizeRel Vantrel.dll ON)
check_host(default - VantrelD.dll OFF)
# A configuration of the host's own, compiled as Release is.
check_host(custom Checked Vantrel.dll ON
  "-DCMAKE_CXX_FLAGS_CHECKED=/O2 /Ob2 /DNDEBUG"
  "-DCMAKE_EXE_LINKER_FLAGS_CHECKED=/INCREMENTAL:NO")

if(WINE)
  # Stop this prefix's Wine server, which would linger after the runs.
  get_filename_component(wine_dir "${WINE}" DIRECTORY)
  find_program(WINESERVER NAMES wineserver PATHS "${wine_dir}")
  if(WINESERVER)
    execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
  endif()
endif()
if(failed)
  message(FATAL_ERROR "a host does not get the DLL of its configuration")
endif()
