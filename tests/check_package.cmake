# Installs the build in BUILD_DIR into a scratch prefix, then builds and runs
# a separate consumer project against it, once through find_package and once
# through pkg-config.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}")
  endif()
endfunction()

run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" --config "${CONFIG}")

# find_package(Vantrel 1.0 CONFIG REQUIRED) from any prefix.
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/build" -G "${GENERATOR}"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${CXX}"
    "-DCMAKE_BUILD_TYPE=${CONFIG}")
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run("${WORK_DIR}/build/vantrel_consumer")

# pkg-config: compile and link the same program by hand.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB_RECURSE pc_files "${prefix}/vantrel.pc")
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
  execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs vantrel
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know vantrel")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  string(REGEX MATCH "-L[^ ;]+" libdir_flag "${flags}")
  string(SUBSTRING "${libdir_flag}" 2 -1 libdir)
  run("${CXX}" -std=c++11 "${CONSUMER_DIR}/consumer.cpp" ${flags}
      "-Wl,-rpath,${libdir}" -o "${WORK_DIR}/consumer_pc")
  run("${WORK_DIR}/consumer_pc")
endif()
