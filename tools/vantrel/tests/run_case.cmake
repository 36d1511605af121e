# Runs the vantrel tool once and checks what it did.
#   TOOL        the binary
#   ARGS        its arguments (a ;-list)
#   INPUT       file fed to standard input (optional)
#   RC          the expected exit code
#   STDOUT_FILE file whose bytes standard output must equal exactly (optional)
#   STDOUT_RE   regular expression standard output must match (optional)
#   STDERR_RE   regular expression standard error must match (optional;
#               without it standard error must be empty)
#   WORK        scratch file prefix
#   THEN_ARGS   when given, the tool is run a second time with these
#               arguments on the first run's output, which must exit 0 and
#               print exactly THEN_FILE (a round trip)
cmake_minimum_required(VERSION 3.20)

function(run_tool out_file err_file rc_var)
  set(input_args)
  if(ARGN)
    list(GET ARGN 0 input)
    set(input_args INPUT_FILE "${input}")
  endif()
  execute_process(COMMAND "${TOOL}" ${run_args}
    ${input_args}
    OUTPUT_FILE "${out_file}"
    ERROR_FILE "${err_file}"
    RESULT_VARIABLE rc)
  set(${rc_var} "${rc}" PARENT_SCOPE)
endfunction()

set(run_args ${ARGS})
if(DEFINED INPUT)
  run_tool("${WORK}.out" "${WORK}.err" rc "${INPUT}")
else()
  run_tool("${WORK}.out" "${WORK}.err" rc)
endif()
file(READ "${WORK}.out" out)
file(READ "${WORK}.err" err)
set(context "vantrel ${ARGS}\n--- exit code: ${rc}\n--- stdout:\n${out}\n--- stderr:\n${err}")

if(NOT rc STREQUAL "${RC}")
  message(FATAL_ERROR "expected exit code ${RC}\n${context}")
endif()
if(DEFINED STDOUT_FILE)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
    "${WORK}.out" "${STDOUT_FILE}" RESULT_VARIABLE differ)
  if(differ)
    file(READ "${STDOUT_FILE}" want)
    message(FATAL_ERROR "stdout differs from ${STDOUT_FILE}:\n${want}\n${context}")
  endif()
endif()
if(DEFINED STDOUT_RE AND NOT out MATCHES "${STDOUT_RE}")
  message(FATAL_ERROR "stdout does not match '${STDOUT_RE}'\n${context}")
endif()
if(DEFINED STDERR_RE)
  if(NOT err MATCHES "${STDERR_RE}")
    message(FATAL_ERROR "stderr does not match '${STDERR_RE}'\n${context}")
  endif()
elseif(NOT err STREQUAL "")
  message(FATAL_ERROR "expected no message on stderr\n${context}")
endif()

if(DEFINED THEN_ARGS)
  set(run_args ${THEN_ARGS})
  run_tool("${WORK}.then.out" "${WORK}.then.err" rc2 "${WORK}.out")
  file(READ "${WORK}.then.err" err2)
  if(NOT rc2 STREQUAL "0")
    message(FATAL_ERROR "second run (vantrel ${THEN_ARGS}) exited ${rc2}: ${err2}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
    "${WORK}.then.out" "${THEN_FILE}" RESULT_VARIABLE differ)
  if(differ)
    file(READ "${WORK}.then.out" got)
    message(FATAL_ERROR "round trip through vantrel ${THEN_ARGS} does not give ${THEN_FILE} back:\n${got}")
  endif()
endif()
