# Checks that the shared library LIBRARY (libvantrel_c.so) defines exactly
# the functions that HEADER (vantrel/vantrel.h) declares, as C names with
# the version VANTREL_C_1, and no other symbol.
#   cmake -DLIBRARY=libvantrel_c.so -DNM=nm -DHEADER=vantrel.h -P check_c_exports.cmake
execute_process(
  COMMAND "${NM}" -D --defined-only "${LIBRARY}"
  OUTPUT_VARIABLE symbols
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()

# The functions the header declares: "vantrel_name(" after VANTREL_C_CALL.
file(READ "${HEADER}" header)
string(REGEX MATCHALL "VANTREL_C_CALL[ \n]+vantrel_[a-z_]+\\(" declared "${header}")
set(expected "")
foreach(declaration IN LISTS declared)
  string(REGEX REPLACE "^VANTREL_C_CALL[ \n]+(vantrel_[a-z_]+)\\($" "\\1" name "${declaration}")
  list(APPEND expected "${name}")
endforeach()
list(SORT expected)
list(LENGTH expected declared_count)
if(declared_count LESS 20)
  message(FATAL_ERROR "found only ${declared_count} functions in ${HEADER}: [${expected}]")
endif()

string(STRIP "${symbols}" symbols)
string(REPLACE "\n" ";" lines "${symbols}")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ T (vantrel_[a-z_]+)@@VANTREL_C_1$")
    list(APPEND found "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^0+ A VANTREL_C_1$")
    # the version node itself
  else()
    message(SEND_ERROR "unexpected exported symbol: ${line}")
  endif()
endforeach()
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported functions are [${found}], the header declares [${expected}]")
endif()
list(LENGTH found count)
message(STATUS "${count} exports: ${found}")
