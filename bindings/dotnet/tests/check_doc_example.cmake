# docs/c-api.md's C# example as a test: the first ```csharp block of the
# section "## From C#" is compiled with the binding (mcs) and run (mono)
# against the library, and its output must be the ```text block that
# follows it on the page.
#   cmake -DMCS=... -DMONO=... -DBINDING=Vantrel.cs -DPAGE=docs/c-api.md
#         -DLIBRARY_DIR=<dir of libvantrel_c.so> -DWORK_DIR=... -P this
foreach(var MCS MONO BINDING PAGE LIBRARY_DIR WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_doc_example: ${var} is not set")
  endif()
endforeach()

file(READ "${PAGE}" page)
string(FIND "${page}" "\n## From C#\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${PAGE} has no section \"## From C#\"")
endif()
string(SUBSTRING "${page}" ${start} -1 section)
# The section ends at the next heading of its level.
string(SUBSTRING "${section}" 1 -1 rest)
string(FIND "${rest}" "\n## " end)
if(NOT end EQUAL -1)
  string(SUBSTRING "${section}" 0 ${end} section)
endif()

function(take_block section fence out_code out_after)
  string(FIND "${section}" "\n```${fence}\n" open)
  if(open EQUAL -1)
    message(FATAL_ERROR "the section \"From C#\" of ${PAGE} has no ```${fence} block")
  endif()
  string(LENGTH "\n```${fence}\n" fence_length)
  math(EXPR body_start "${open} + ${fence_length}")
  string(SUBSTRING "${section}" ${body_start} -1 body)
  string(FIND "${body}" "\n```" close)
  if(close EQUAL -1)
    message(FATAL_ERROR "an unclosed ```${fence} block in ${PAGE}")
  endif()
  math(EXPR code_length "${close} + 1")
  string(SUBSTRING "${body}" 0 ${code_length} code)
  math(EXPR after_start "${close} + 4")
  string(SUBSTRING "${body}" ${after_start} -1 after)
  set(${out_code} "${code}" PARENT_SCOPE)
  set(${out_after} "${after}" PARENT_SCOPE)
endfunction()

take_block("${section}" csharp program after_program)
take_block("${after_program}" text expected unused)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(WRITE "${WORK_DIR}/Example.cs" "${program}")
execute_process(
  COMMAND "${MCS}" -nologo -warnaserror "-out:${WORK_DIR}/Example.exe"
    "${BINDING}" "${WORK_DIR}/Example.cs"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the C# example of ${PAGE} does not compile:\n${output}")
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${LIBRARY_DIR}"
    "${MONO}" "${WORK_DIR}/Example.exe"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the C# example of ${PAGE} failed (${status}):\n${output}${errors}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "the C# example of ${PAGE} printed\n${output}\n"
    "where the page shows\n${expected}")
endif()
message(STATUS "the C# example prints what ${PAGE} shows")
