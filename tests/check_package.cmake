# Builds and runs the separate consumer project in CONSUMER_DIR against
# Vantrel, in one of three ways:
#   -DSOURCE_DIR=<src>  Vantrel as a subproject (add_subdirectory); the
#                       consumer also checks that only the library comes
#                       with it.
#   -DBUILD_DIR=<dir>   the build in <dir> installed into a scratch prefix,
#                       then used by find_package and by pkg-config.
#   -DPREFIX=<prefix>   a package already installed there (/usr for the
#                       Debian packages), used by find_package and by
#                       pkg-config's default search path.
# Always: WORK_DIR (scratch, emptied first), GENERATOR, CXX, CONFIG.
file(REMOVE_RECURSE "${WORK_DIR}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}")
  endif()
endfunction()

function(build_and_run_consumer)
  run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/build"
      -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX}"
      "-DCMAKE_BUILD_TYPE=${CONFIG}" ${ARGN})
  run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
  run("${WORK_DIR}/build/vantrel_consumer")
  run("${WORK_DIR}/build/vantrel_c_layer_consumer")
endfunction()

if(DEFINED SOURCE_DIR)
  build_and_run_consumer("-DVANTREL_SOURCE_DIR=${SOURCE_DIR}")
  return()
endif()

if(DEFINED BUILD_DIR)
  set(PREFIX "${WORK_DIR}/prefix")
  run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
      --config "${CONFIG}")
  # The scratch prefix is not on pkg-config's search path: name its
  # directory, wherever the install put it (lib/, lib/<multiarch>/).
  file(GLOB_RECURSE pc_files "${PREFIX}/vantrel.pc")
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
elseif(NOT DEFINED PREFIX)
  message(FATAL_ERROR "set SOURCE_DIR, BUILD_DIR or PREFIX")
endif()

# find_package(Vantrel 1.0 CONFIG REQUIRED) from the prefix.
build_and_run_consumer("-DCMAKE_PREFIX_PATH=${PREFIX}")

# pkg-config: compile and link the same program by hand.
find_program(PKG_CONFIG pkg-config)
if(NOT PKG_CONFIG)
  message(FATAL_ERROR "pkg-config is needed")
endif()
execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs vantrel
  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know vantrel")
endif()
message(STATUS "pkg-config --cflags --libs vantrel: ${flags}")
separate_arguments(flags UNIX_COMMAND "${flags}")
string(REGEX MATCH "-L[^ ;]+" libdir_flag "${flags}")
string(SUBSTRING "${libdir_flag}" 2 -1 libdir)
run("${CXX}" -std=c++11 "${CONSUMER_DIR}/consumer.cpp" ${flags}
    "-Wl,-rpath,${libdir}" -o "${WORK_DIR}/consumer_pc")
run("${WORK_DIR}/consumer_pc")

# The C interface's pkg-config file, vantrel-c, likewise.
execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs vantrel-c
  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know vantrel-c")
endif()
message(STATUS "pkg-config --cflags --libs vantrel-c: ${flags}")
separate_arguments(flags UNIX_COMMAND "${flags}")
string(REGEX MATCH "-L[^ ;]+" libdir_flag "${flags}")
string(SUBSTRING "${libdir_flag}" 2 -1 libdir)
run("${CXX}" -std=c++11 "${CONSUMER_DIR}/c_layer_consumer.cpp" ${flags}
    "-Wl,-rpath,${libdir}" -o "${WORK_DIR}/c_layer_consumer_pc")
run("${WORK_DIR}/c_layer_consumer_pc")
