# Checks that the shared library LIBRARY defines exactly the four exported
# functions in its dynamic symbol table.
#   cmake -DLIBRARY=libvantrel.so -DNM=nm -P check_exports.cmake
execute_process(
  COMMAND "${NM}" -D --defined-only --demangle "${LIBRARY}"
  OUTPUT_VARIABLE symbols
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()

string(STRIP "${symbols}" symbols)
string(REPLACE "\n" ";" lines "${symbols}")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ T ((Get|Set)(Func|Filter)Definition)\\(")
    list(APPEND found "${CMAKE_MATCH_1}")
  else()
    message(SEND_ERROR "unexpected exported symbol: ${line}")
  endif()
endforeach()
list(SORT found)
set(expected GetFilterDefinition GetFuncDefinition SetFilterDefinition SetFuncDefinition)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported functions are [${found}], expected [${expected}]")
endif()
message(STATUS "exports: ${found}")
