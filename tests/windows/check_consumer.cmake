# Installs the Windows build in BUILD_DIR into a scratch prefix, builds the
# consumer project against it with the build's toolchain file, copies
# the DLL next to the program (where Windows looks for a program's DLLs)
# and runs it under Wine (wine-run.sh), in a Wine prefix of its own, or, built
# natively on Windows (TOOLCHAIN and WINE empty), as it is.
#   cmake -DBUILD_DIR=... -DCONSUMER_DIR=... -DWORK_DIR=... -DGENERATOR=...
#         -DTOOLCHAIN=... -DCONFIG=... -DWINE=... -P check_consumer.cmake
file(REMOVE_RECURSE "${WORK_DIR}/prefix" "${WORK_DIR}/build")
set(prefix "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status
    OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" --config "${CONFIG}")
if(CONFIG STREQUAL "Debug")
  set(dll VantrelD.dll)
else()
  set(dll Vantrel.dll)
endif()
foreach(file bin/${dll} include/vantrel/alert_definitions.h
             lib/cmake/Vantrel/VantrelConfig.cmake
             lib/cmake/Vantrel/VantrelConfigVersion.cmake)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "the install prefix has no ${file}")
  endif()
endforeach()

set(toolchain_args "")
if(TOOLCHAIN)
  set(toolchain_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
endif()
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/build" -G "${GENERATOR}"
    ${toolchain_args} "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DCMAKE_BUILD_TYPE=${CONFIG}")
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build" --config "${CONFIG}")
# A single-configuration generator puts the program into the build
# directory, a multi-configuration one into a directory per configuration.
file(GLOB_RECURSE program "${WORK_DIR}/build/vantrel_windows_consumer.exe")
list(LENGTH program count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one vantrel_windows_consumer.exe, found: ${program}")
endif()
get_filename_component(program_dir "${program}" DIRECTORY)
file(COPY "${prefix}/bin/${dll}" DESTINATION "${program_dir}")

if(WINE)
  # Through the build's own Wine wrapper, with a Wine server of its own
  # that stays up from the first program to the last (wine-run.sh says why).
  set(wine_run "${CMAKE_CURRENT_LIST_DIR}/../../cmake/toolchains/wine-run.sh")
  set(wine_prefix "${WORK_DIR}/wineprefix")
  run("${wine_run}" --start-server "${WINE}" "${wine_prefix}")
  execute_process(COMMAND "${wine_run}" "${WINE}" "${wine_prefix}" "${program}"
    RESULT_VARIABLE status OUTPUT_VARIABLE program_output
    ERROR_VARIABLE program_output)
  # (run() sets `output`: the program's is kept apart until then.)
  run("${wine_run}" --stop-server "${WINE}" "${wine_prefix}")
  set(output "${program_output}")
else()
  execute_process(COMMAND "${program}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the consumer failed (${status}): ${output}")
endif()
if(NOT output MATCHES "ok: 2 records")
  message(FATAL_ERROR "the consumer printed: ${output}")
endif()
message(STATUS "${output}")
