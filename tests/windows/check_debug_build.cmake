# Builds the library's Debug configuration (VantrelD.dll, VantrelD.lib,
# VantrelD.pdb, with the debug runtime /MDd) from the same sources and with
# the same toolchain file as the build in BUILD_DIR, and installs both
# configurations into one prefix, as a Windows shop ships them:
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=...
#         -DTOOLCHAIN=... -DCONFIG=... -P check_debug_build.cmake
# Leaves WORK_DIR/build (the Debug build) and WORK_DIR/prefix for the tests
# that need them (the fixture vantrel_debug_dll).
foreach(var SOURCE_DIR BUILD_DIR WORK_DIR GENERATOR TOOLCHAIN CONFIG)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}/build" "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status
    OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}")
  endif()
endfunction()

run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
  -G "${GENERATOR}" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}"
  -DCMAKE_BUILD_TYPE=Debug -DVANTREL_WERROR=ON
  -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_EXAMPLES=OFF
  -DVANTREL_BUILD_TOOLS=OFF)
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build" --parallel 2)
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix"
  --config "${CONFIG}")
run("${CMAKE_COMMAND}" --install "${WORK_DIR}/build" --prefix "${WORK_DIR}/prefix"
  --config Debug)

string(TOLOWER "${CONFIG}" config_lower)
foreach(file bin/Vantrel.dll bin/Vantrel.pdb lib/Vantrel.lib
             bin/VantrelD.dll bin/VantrelD.pdb lib/VantrelD.lib
             lib/cmake/Vantrel/VantrelTargets-debug.cmake
             lib/cmake/Vantrel/VantrelTargets-${config_lower}.cmake)
  if(NOT EXISTS "${WORK_DIR}/prefix/${file}")
    message(FATAL_ERROR "the prefix with both configurations has no ${file}")
  endif()
endforeach()
message(STATUS "both configurations installed into ${WORK_DIR}/prefix")
