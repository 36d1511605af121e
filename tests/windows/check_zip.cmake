# Makes the build's ZIP package with CPack (into the build's packages/
# directory, where a release takes it from), unpacks it into a scratch
# directory and compares the files in it with the expected list.
#   cmake -DCPACK=cpack -DBUILD_DIR=... -DWORK_DIR=... -DCONFIG=...
#         -DPACKAGE_NAME=vantrel-1.0.0-win64-msvc -DEXPECTED=<|-separated>
#         [-DPKG_CONFIG=pkg-config -DLIB_PATTERN=%.lib] -P check_zip.cmake
# With PKG_CONFIG, each pkg-config file in the archive must name, with -L
# and -l, an import library that is in the archive (LIB_PATTERN: its file
# name, % standing for the -l name), each a different one.
foreach(var CPACK BUILD_DIR WORK_DIR CONFIG PACKAGE_NAME EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(zip "${BUILD_DIR}/packages/${PACKAGE_NAME}.zip")
file(REMOVE "${zip}")
execute_process(
  COMMAND "${CPACK}" -G ZIP -C "${CONFIG}" --config "${BUILD_DIR}/CPackConfig.cmake"
  WORKING_DIRECTORY "${BUILD_DIR}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT EXISTS "${zip}")
  message(FATAL_ERROR "cpack did not make ${zip}:\n${out}")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(ARCHIVE_EXTRACT INPUT "${zip}" DESTINATION "${WORK_DIR}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
list(SORT files)
string(REPLACE "|" ";" EXPECTED "${EXPECTED}")
set(expected "")
foreach(file IN LISTS EXPECTED)
  list(APPEND expected "${PACKAGE_NAME}/${file}")
endforeach()
list(SORT expected)
if(NOT files STREQUAL expected)
  string(REPLACE ";" "\n  " files_text "${files}")
  string(REPLACE ";" "\n  " expected_text "${expected}")
  message(FATAL_ERROR "${zip} holds:\n  ${files_text}\nexpected:\n  ${expected_text}")
endif()

# The text that says which hosts the package is for names its own ABI.
file(READ "${WORK_DIR}/${PACKAGE_NAME}/README-windows.txt" hosts)
string(REGEX MATCH "win64-[a-z]+$" abi "${PACKAGE_NAME}")
if(NOT hosts MATCHES "\\(${abi}\\)")
  message(FATAL_ERROR "README-windows.txt does not name ${PACKAGE_NAME}'s ABI")
endif()
message(STATUS "${zip}:\n  ${files}")

if(PKG_CONFIG)
  file(GLOB pc_files "${WORK_DIR}/${PACKAGE_NAME}/lib/pkgconfig/*.pc")
  if(NOT pc_files)
    message(FATAL_ERROR "${zip} has no pkg-config file")
  endif()
  set(seen "")
  foreach(pc IN LISTS pc_files)
    get_filename_component(module "${pc}" NAME_WE)
    set(ENV{PKG_CONFIG_PATH} "${WORK_DIR}/${PACKAGE_NAME}/lib/pkgconfig")
    set(ENV{PKG_CONFIG_LIBDIR} "${WORK_DIR}/${PACKAGE_NAME}/lib/pkgconfig")
    execute_process(COMMAND "${PKG_CONFIG}" --libs "${module}"
      OUTPUT_VARIABLE libs RESULT_VARIABLE status ERROR_VARIABLE libs
      OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0 OR NOT libs MATCHES "^-L([^ ]+) -l([^ ]+)$")
      message(FATAL_ERROR "${module}.pc: pkg-config --libs gives '${libs}'")
    endif()
    set(dir "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    string(REPLACE "%" "${name}" lib "${LIB_PATTERN}")
    if(NOT EXISTS "${dir}/${lib}")
      message(FATAL_ERROR "${module}.pc links ${lib}, which is not in ${dir}")
    endif()
    list(FIND seen "${name}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "two pkg-config files name ${lib}")
    endif()
    list(APPEND seen "${name}")
    message(STATUS "${module}.pc: ${libs}")
  endforeach()
endif()
