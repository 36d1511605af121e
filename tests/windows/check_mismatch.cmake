# A Visual C++ host links the DLL of its own runtime configuration, and a
# host built with the other one fails to link, with the linker's mismatch
# error, instead of corrupting its heap at run time. The consumer project
# is built against PREFIX, which holds both configurations (Vantrel.lib
# for /MD, VantrelD.lib for /MDd); the hosts that find_package gives the
# right library are check_zip_hosts.cmake's:
#
#   /MDd host made to take Vantrel.lib                fails: mismatch
#   /MD  host made to take VantrelD.lib               fails: mismatch
#   /MDd host on Vantrel.lib with VANTREL_NO_RUNTIME_CHECK: links, which
#       shows that the failure above is the runtime check's and nothing
#       else's (this is the host that would corrupt its heap)
#
#   cmake -DCONSUMER_DIR=... -DPREFIX=... -DWORK_DIR=... -DGENERATOR=...
#         -DTOOLCHAIN=... -DREADOBJ=... -P check_mismatch.cmake
foreach(var CONSUMER_DIR PREFIX WORK_DIR GENERATOR TOOLCHAIN READOBJ)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# Configures and builds the consumer; sets link_status and link_output.
function(build_consumer name config)
  set(dir "${WORK_DIR}/${name}")
  file(REMOVE_RECURSE "${dir}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${dir}"
      -G "${GENERATOR}" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
      "-DCMAKE_PREFIX_PATH=${PREFIX}" "-DCMAKE_BUILD_TYPE=${config}" ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: configuring the consumer failed:\n${out}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" --build "${dir}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(link_status "${status}" PARENT_SCOPE)
  set(link_output "${out}" PARENT_SCOPE)
  set(program "${dir}/vantrel_windows_consumer.exe" PARENT_SCOPE)
endfunction()

set(failed OFF)
function(expect_links name config dll)
  build_consumer(${name} ${config} ${ARGN})
  if(NOT link_status EQUAL 0)
    message(SEND_ERROR "${name}: the consumer did not link:\n${link_output}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND "${READOBJ}" --coff-imports "${program}"
    OUTPUT_VARIABLE imports RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT imports MATCHES "Name: ${dll}\n")
    message(SEND_ERROR "${name}: the consumer does not import ${dll}")
    set(failed ON PARENT_SCOPE)
    return()
  endif()
  message(STATUS "${name}: links, imports ${dll}")
endfunction()

function(expect_mismatch name config)
  build_consumer(${name} ${config} ${ARGN})
  if(link_status EQUAL 0)
    message(SEND_ERROR "${name}: the consumer linked, but must not")
    set(failed ON PARENT_SCOPE)
  elseif(NOT link_output MATCHES "mismatch detected for '(RuntimeLibrary|_ITERATOR_DEBUG_LEVEL)'"
         OR NOT link_output MATCHES "runtime_check")
    message(SEND_ERROR "${name}: the link failed, but not with the runtime "
      "check's mismatch error:\n${link_output}")
    set(failed ON PARENT_SCOPE)
  else()
    string(REGEX MATCH "[^\n]*mismatch detected[^\n]*\n[^\n]*\n[^\n]*" what "${link_output}")
    message(STATUS "${name}: fails to link, as it must:\n${what}")
  endif()
endfunction()

expect_mismatch(debug_host_release_library Debug
  -DCMAKE_MAP_IMPORTED_CONFIG_DEBUG=Release)
expect_mismatch(release_host_debug_library Release
  -DCMAKE_MAP_IMPORTED_CONFIG_RELEASE=Debug)
expect_links(debug_host_release_library_unchecked Debug Vantrel.dll
  -DCMAKE_MAP_IMPORTED_CONFIG_DEBUG=Release
  "-DCMAKE_CXX_FLAGS_DEBUG=/Zi /Ob0 /Od /RTC1 /DVANTREL_NO_RUNTIME_CHECK")

if(failed)
  message(FATAL_ERROR "a host of the wrong runtime configuration is not stopped at link time")
endif()
