# Installs the build in BUILD_DIR into a scratch prefix and runs the
# installed tool from there: it must find the installed library by itself
# (its run path points at the sibling lib directory), with the build tree
# out of the way.
#   BUILD_DIR, WORK_DIR, CONFIG, EXAMPLE (a .txt with its .json twin)
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
  --prefix "${prefix}" --config "${CONFIG}" OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install failed (${status})")
endif()
set(tool "${prefix}/bin/vantrel")
if(NOT EXISTS "${tool}")
  message(FATAL_ERROR "the install has no bin/vantrel")
endif()
if(NOT EXISTS "${prefix}/share/man/man1/vantrel.1")
  message(FATAL_ERROR "the install has no share/man/man1/vantrel.1")
endif()
set(ENV{LD_LIBRARY_PATH} "")
execute_process(COMMAND "${tool}" parse "${EXAMPLE}"
  OUTPUT_FILE "${WORK_DIR}/out.json" ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed vantrel parse failed (${status}): ${err}")
endif()
string(REGEX REPLACE "\\.txt$" ".json" twin "${EXAMPLE}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
  "${WORK_DIR}/out.json" "${twin}" RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "installed vantrel parse does not print ${twin}")
endif()
execute_process(COMMAND ldd "${tool}" OUTPUT_VARIABLE libs)
if(NOT libs MATCHES "libvantrel\\.so\\.1 => ${prefix}/")
  message(FATAL_ERROR "installed vantrel does not use the installed library:\n${libs}")
endif()
