# Checks the import table and, for the DLL, the export table of a Windows
# executable or DLL, read with the MinGW objdump:
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DCXXFILT=...-c++filt
#         -DFILE=Vantrel.dll -DEXPORTS=ON
#         [-DEXTRA_IMPORTS=Vantrel.dll] [-DFORBIDDEN_IMPORTS=Vantrel.dll]
#         -P check_pe_tables.cmake
#
# Imports: only DLLs that every Windows system has (KERNEL32, the C runtime
# msvcrt or the Universal C runtime) plus EXTRA_IMPORTS. The GCC runtime
# DLLs (libstdc++-6, libgcc_s_seh-1, libwinpthread-1) must not appear: they
# are linked statically. FORBIDDEN_IMPORTS must not appear at all.
#
# Exports (EXPORTS=ON): exactly the four entry points, by name, with their
# C++ signatures, and nothing else, not even an export by ordinal only.

cmake_minimum_required(VERSION 3.20)

foreach(var OBJDUMP FILE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

execute_process(
  COMMAND "${OBJDUMP}" -p "${FILE}"
  OUTPUT_VARIABLE dump
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${FILE}")
endif()

# --- Import table ---------------------------------------------------------
string(REGEX MATCHALL "\tDLL Name: [^\n]+" import_lines "${dump}")
set(imports "")
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "^\tDLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  list(APPEND imports "${dll}")
endforeach()
if(NOT imports)
  message(FATAL_ERROR "${FILE}: no import table found in the objdump output")
endif()

set(system_dll_regex
  "^(KERNEL32|MSVCRT|UCRTBASE|API-MS-WIN-CRT-[A-Z0-9-]+|API-MS-WIN-CORE-[A-Z0-9-]+)\\.DLL$")
set(extra_upper "")
foreach(dll IN LISTS EXTRA_IMPORTS)
  string(TOUPPER "${dll}" dll)
  list(APPEND extra_upper "${dll}")
endforeach()
set(forbidden_upper "")
foreach(dll IN LISTS FORBIDDEN_IMPORTS)
  string(TOUPPER "${dll}" dll)
  list(APPEND forbidden_upper "${dll}")
endforeach()

set(failed OFF)
foreach(dll IN LISTS imports)
  string(TOUPPER "${dll}" upper)
  if(upper IN_LIST forbidden_upper)
    message(SEND_ERROR "${FILE} imports ${dll}, which it must load at run time")
    set(failed ON)
  elseif(NOT upper MATCHES "${system_dll_regex}" AND NOT upper IN_LIST extra_upper)
    message(SEND_ERROR "${FILE} imports ${dll}, which is not a system DLL")
    set(failed ON)
  endif()
endforeach()
foreach(dll IN LISTS EXTRA_IMPORTS)
  string(TOUPPER "${dll}" dll)
  set(seen OFF)
  foreach(import IN LISTS imports)
    string(TOUPPER "${import}" import)
    if(import STREQUAL dll)
      set(seen ON)
    endif()
  endforeach()
  if(NOT seen)
    message(SEND_ERROR "${FILE} does not import ${dll}")
    set(failed ON)
  endif()
endforeach()
message(STATUS "${FILE} imports: ${imports}")

# --- Export table ---------------------------------------------------------
if(EXPORTS)
  if(NOT DEFINED CXXFILT)
    message(FATAL_ERROR "CXXFILT is not set")
  endif()
  if(NOT dump MATCHES "Export Address Table[ \t]+([0-9a-fA-F]+)")
    message(FATAL_ERROR "${FILE}: no export table found in the objdump output")
  endif()
  # The count is printed in hexadecimal; four is 4 in both bases.
  set(address_count "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^0+" "" address_count "${address_count}")
  if(NOT address_count STREQUAL "4")
    message(SEND_ERROR "${FILE}: the export address table has 0x${CMAKE_MATCH_1} entries, expected 4")
    set(failed ON)
  endif()

  # The names follow the "[Ordinal/Name Pointer] Table" heading, one a
  # line, up to the next blank line.
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" heading)
  if(heading EQUAL -1)
    message(FATAL_ERROR "${FILE}: no export name table in the objdump output")
  endif()
  string(SUBSTRING "${dump}" ${heading} -1 names_part)
  string(FIND "${names_part}" "\n\n" names_end)
  string(SUBSTRING "${names_part}" 0 ${names_end} names_part)
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" name_lines "${names_part}")

  set(string_type
    "std::(__cxx11::)?basic_string<char, std::char_traits<char>, std::allocator<char> >")
  set(found "")
  foreach(line IN LISTS name_lines)
    string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" mangled "${line}")
    string(STRIP "${mangled}" mangled)
    execute_process(
      COMMAND "${CXXFILT}" "${mangled}"
      OUTPUT_VARIABLE demangled
      OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${CXXFILT} failed on ${mangled}")
    endif()
    # The parse entry points read the text, the write entry points replace
    # it: only the former take it by const reference.
    set(name "")
    if(demangled MATCHES "^(Get(Func|Filter)Definition)\\(${string_type} const&, AlertDefinitions&\\)$")
      set(name "${CMAKE_MATCH_1}")
    elseif(demangled MATCHES "^(Set(Func|Filter)Definition)\\(${string_type}&, AlertDefinitions&\\)$")
      set(name "${CMAKE_MATCH_1}")
    endif()
    if(name)
      list(APPEND found "${name}")
      message(STATUS "export: ${mangled}\n          = ${demangled}")
    else()
      message(SEND_ERROR "${FILE}: unexpected export ${mangled} (${demangled})")
      set(failed ON)
    endif()
  endforeach()
  list(SORT found)
  set(expected GetFilterDefinition GetFuncDefinition SetFilterDefinition SetFuncDefinition)
  if(NOT found STREQUAL expected)
    message(SEND_ERROR "${FILE}: exported functions are [${found}], expected [${expected}]")
    set(failed ON)
  endif()
endif()

if(failed)
  message(FATAL_ERROR "${FILE}: import or export table check failed")
endif()
