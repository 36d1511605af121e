# Checks the import table and, for the DLL, the export table of a Windows
# executable or DLL. Two tool sets read them, one per build:
#
#   MinGW build: the MinGW binutils' objdump -p, names demangled by c++filt
#     cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DDEMANGLER=...-c++filt ...
#   Microsoft-ABI build: llvm-readobj, names demangled by llvm-undname
#     cmake -DREADOBJ=llvm-readobj-14 -DDEMANGLER=llvm-undname-14 ...
#
#   ... -DFILE=Vantrel.dll -DEXPORTS=ON -DALLOWED_IMPORTS=<regex>
#       [-DEXTRA_IMPORTS=Vantrel.dll] [-DFORBIDDEN_IMPORTS=Vantrel.dll]
#       -P check_pe_tables.cmake
#
# Imports: only DLLs whose upper-case names match ALLOWED_IMPORTS (the
# system and runtime DLLs of the build: KERNEL32 and msvcrt for MinGW,
# KERNEL32 and the Visual C++ and Universal C runtimes for the Microsoft
# ABI), plus EXTRA_IMPORTS, which must appear. The GCC runtime DLLs
# (libstdc++-6, libgcc_s_seh-1, libwinpthread-1) are not allowed: they are
# linked statically. FORBIDDEN_IMPORTS must not appear at all.
#
# Exports (EXPORTS=ON): exactly the four entry points, by name, with their
# C++ signatures, each at an address of its own, and nothing else, not even
# an export by ordinal only.
# C exports (EXPORTS=C -DHEADER=include/vantrel/vantrel.h, VantrelC.dll):
# exactly the functions the C header declares, by their plain C names (all
# starting with vantrel_, nothing mangled), each at an address of its own,
# and nothing else.
#
# Microsoft-ABI build only (READOBJ):
#   -DIMPORT_LIST=<file>  the exact list of imported functions, one
#       "dll!name" a line (DLL in lower case; # starts a comment): a name
#       the file does not list, or a listed one the DLL does not import,
#       fails. A pattern would let through a runtime function that an older
#       Visual C++ runtime lacks.
#   -DHARDENED=ON -DPDB_NAME=Vantrel.pdb -DVERSION=1.0.0  what a DLL that
#       is shipped needs: the DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT and
#       GUARD_CF characteristics, a load-configuration directory, CET
#       compatibility, a CodeView entry that names PDB_NAME without a
#       directory, a version resource whose ProductVersion and
#       OriginalFilename are VERSION and the DLL's name, and whose
#       FileVersion is FILE_VERSION (VERSION and the build number;
#       -DFILE_VERSION=1.0.0.42, VERSION when not given), and no TLS
#       directory (the start-up layer has none to offer: a thread_local or
#       a function-local static with dynamic initialisation would add one).

cmake_minimum_required(VERSION 3.20)

foreach(var FILE ALLOWED_IMPORTS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(read_or_fail output)
  execute_process(COMMAND ${ARGN}
    OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed: ${command}")
  endif()
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

# Reads the tables into: imports (DLL names), export_names (mangled),
# export_rvas (one per slot of the export address table, named or not).
set(imports "")
set(export_names "")
set(export_rvas "")
set(imported_names "")
if(DEFINED READOBJ)
  read_or_fail(dump "${READOBJ}" --coff-imports "${FILE}")
  string(REGEX MATCHALL "Import {\n *Name: [^\n]+" import_lines "${dump}")
  foreach(line IN LISTS import_lines)
    string(REGEX REPLACE "^Import {\n *Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    list(APPEND imports "${dll}")
  endforeach()
  # Each import block: its DLL, then one "Symbol: name (hint)" a function.
  string(REGEX MATCHALL "Import {[^}]*}" import_blocks "${dump}")
  foreach(block IN LISTS import_blocks)
    if(NOT block MATCHES "Name: ([^\n]+)")
      continue()
    endif()
    string(STRIP "${CMAKE_MATCH_1}" dll)
    string(TOLOWER "${dll}" dll)
    string(REGEX MATCHALL "Symbol: [^\n]+" symbol_lines "${block}")
    foreach(line IN LISTS symbol_lines)
      string(REGEX REPLACE "^Symbol: (.*) \\([0-9]+\\)$" "\\1" symbol "${line}")
      string(STRIP "${symbol}" symbol)
      list(APPEND imported_names "${dll}!${symbol}")
    endforeach()
  endforeach()
  if(EXPORTS)
    read_or_fail(dump "${READOBJ}" --coff-exports "${FILE}")
    string(REGEX MATCHALL "Export {[^}]*}" export_blocks "${dump}")
    foreach(block IN LISTS export_blocks)
      if(block MATCHES "RVA: (0x[0-9A-Fa-f]+)")
        list(APPEND export_rvas "${CMAKE_MATCH_1}")
      else()
        list(APPEND export_rvas "none")
      endif()
      if(block MATCHES "Name: ([^\n]+)")
        string(STRIP "${CMAKE_MATCH_1}" name)
        list(APPEND export_names "${name}")
      endif()
    endforeach()
  endif()
elseif(DEFINED OBJDUMP)
  read_or_fail(dump "${OBJDUMP}" -p "${FILE}")
  string(REGEX MATCHALL "\tDLL Name: [^\n]+" import_lines "${dump}")
  foreach(line IN LISTS import_lines)
    string(REGEX REPLACE "^\tDLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    list(APPEND imports "${dll}")
  endforeach()
  if(EXPORTS)
    # One "Export RVA" line per slot of the address table.
    string(REGEX MATCHALL "\t\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] +[0-9a-fA-F]+ Export RVA"
      rva_lines "${dump}")
    foreach(line IN LISTS rva_lines)
      string(REGEX REPLACE "^.*\\] +([0-9a-fA-F]+) Export RVA$" "0x\\1" rva "${line}")
      list(APPEND export_rvas "${rva}")
    endforeach()
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
    foreach(line IN LISTS name_lines)
      string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" mangled "${line}")
      string(STRIP "${mangled}" mangled)
      list(APPEND export_names "${mangled}")
    endforeach()
  endif()
else()
  message(FATAL_ERROR "set READOBJ (llvm-readobj) or OBJDUMP (binutils objdump)")
endif()

# --- Import table ---------------------------------------------------------
if(NOT imports)
  message(FATAL_ERROR "${FILE}: no import table found")
endif()
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
set(imports_upper "")
foreach(dll IN LISTS imports)
  string(TOUPPER "${dll}" upper)
  list(APPEND imports_upper "${upper}")
  if(upper IN_LIST forbidden_upper)
    message(SEND_ERROR "${FILE} imports ${dll}, which it must load at run time")
    set(failed ON)
  elseif(NOT upper MATCHES "${ALLOWED_IMPORTS}" AND NOT upper IN_LIST extra_upper)
    message(SEND_ERROR "${FILE} imports ${dll}, which is not a system or runtime DLL of this build")
    set(failed ON)
  endif()
endforeach()
foreach(dll IN LISTS extra_upper)
  if(NOT dll IN_LIST imports_upper)
    message(SEND_ERROR "${FILE} does not import ${dll}")
    set(failed ON)
  endif()
endforeach()
message(STATUS "${FILE} imports: ${imports}")

if(DEFINED IMPORT_LIST)
  if(NOT DEFINED READOBJ)
    message(FATAL_ERROR "IMPORT_LIST needs READOBJ")
  endif()
  file(STRINGS "${IMPORT_LIST}" listed_lines)
  set(listed "")
  foreach(line IN LISTS listed_lines)
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(STRIP "${line}" line)
    if(line)
      list(APPEND listed "${line}")
    endif()
  endforeach()
  foreach(name IN LISTS imported_names)
    message(STATUS "import: ${name}")
    if(NOT name IN_LIST listed)
      message(SEND_ERROR "${FILE} imports ${name}, which ${IMPORT_LIST} does not list")
      set(failed ON)
    endif()
  endforeach()
  foreach(name IN LISTS listed)
    if(NOT name IN_LIST imported_names)
      message(SEND_ERROR "${FILE} does not import ${name}, which ${IMPORT_LIST} lists")
      set(failed ON)
    endif()
  endforeach()
endif()

# --- What a shipped DLL needs ---------------------------------------------
if(HARDENED)
  if(NOT DEFINED READOBJ)
    message(FATAL_ERROR "HARDENED needs READOBJ")
  endif()
  foreach(var PDB_NAME VERSION)
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "HARDENED needs ${var}")
    endif()
  endforeach()
  read_or_fail(headers "${READOBJ}" --file-headers "${FILE}")
  foreach(flag DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT GUARD_CF)
    if(NOT headers MATCHES "IMAGE_DLL_CHARACTERISTICS_${flag} ")
      message(SEND_ERROR "${FILE} lacks the ${flag} characteristic")
      set(failed ON)
    endif()
  endforeach()
  foreach(directory LoadConfigTable ResourceTable Debug)
    if(headers MATCHES "${directory}RVA: 0x0\n" OR NOT headers MATCHES "${directory}RVA: ")
      message(SEND_ERROR "${FILE} has no ${directory} directory")
      set(failed ON)
    endif()
  endforeach()
  if(NOT headers MATCHES "TLSTableRVA: 0x0\n")
    message(SEND_ERROR "${FILE} has a TLS directory: something in the DLL "
      "has thread_local storage or a function-local static with dynamic "
      "initialisation (see docs/windows.md)")
    set(failed ON)
  endif()

  read_or_fail(debug "${READOBJ}" --coff-debug-directory "${FILE}")
  if(NOT debug MATCHES "Type: CodeView \\(0x2\\)")
    message(SEND_ERROR "${FILE} has no CodeView debug entry")
    set(failed ON)
  elseif(NOT debug MATCHES "PDBFileName: ([^\n]*)\n")
    message(SEND_ERROR "${FILE}: the CodeView entry names no PDB")
    set(failed ON)
  else()
    string(STRIP "${CMAKE_MATCH_1}" pdb)
    if(NOT pdb STREQUAL PDB_NAME)
      message(SEND_ERROR "${FILE}: the CodeView entry names ${pdb}, expected ${PDB_NAME} without a directory")
      set(failed ON)
    endif()
  endif()
  if(NOT debug MATCHES "IMAGE_DLL_CHARACTERISTICS_EX_CET_COMPAT")
    message(SEND_ERROR "${FILE} is not marked CET-compatible")
    set(failed ON)
  endif()

  read_or_fail(load_config "${READOBJ}" --coff-load-config "${FILE}")
  if(NOT load_config MATCHES "GuardCFFunctionTable: 0x[1-9A-Fa-f]")
    message(SEND_ERROR "${FILE}: the load configuration has no Control Flow Guard table")
    set(failed ON)
  endif()

  read_or_fail(resources "${READOBJ}" --coff-resources "${FILE}")
  if(NOT resources MATCHES "Type: VERSIONINFO \\(ID 16\\)")
    message(SEND_ERROR "${FILE} has no version resource")
    set(failed ON)
  endif()
  # The resource's strings are UTF-16: each key is followed by its value.
  # (Only strings of plain characters: a bracket or a semicolon in the
  # other bytes of the file would split CMake's list wrongly.)
  file(STRINGS "${FILE}" wide_strings ENCODING UTF-16LE
    REGEX "^[A-Za-z0-9 ._(),-]+$")
  get_filename_component(file_name "${FILE}" NAME)
  if(NOT FILE_VERSION)
    set(FILE_VERSION "${VERSION}")
  endif()
  foreach(pair "FileVersion=${FILE_VERSION}" "ProductVersion=${VERSION}"
               "OriginalFilename=${file_name}")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 key)
    list(GET pair 1 expected_value)
    list(FIND wide_strings "${key}" at)
    set(value "")
    if(NOT at EQUAL -1)
      math(EXPR at "${at} + 1")
      list(LENGTH wide_strings count)
      if(at LESS count)
        list(GET wide_strings ${at} value)
      endif()
    endif()
    if(NOT value STREQUAL expected_value)
      message(SEND_ERROR "${FILE}: the version resource's ${key} is '${value}', expected '${expected_value}'")
      set(failed ON)
    endif()
  endforeach()
  message(STATUS "${FILE}: hardened, CodeView ${PDB_NAME}, version ${VERSION}, file version ${FILE_VERSION}")
endif()

# --- Export table ---------------------------------------------------------
if(EXPORTS STREQUAL "C")
  if(NOT DEFINED HEADER)
    message(FATAL_ERROR "EXPORTS=C needs HEADER")
  endif()
  # The functions the header declares: its code without the comments (whose
  # examples call them), each name followed by its parameter list.
  file(READ "${HEADER}" header)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" header "${header}")
  string(REGEX REPLACE "//[^\n]*" "" header "${header}")
  string(REGEX MATCHALL "[ *\t\n](vantrel_[a-z0-9_]+)[ \t\n]*\\(" declared "${header}")
  list(TRANSFORM declared REPLACE "^[ *\t\n]*(vantrel_[a-z0-9_]+).*$" "\\1")
  list(REMOVE_DUPLICATES declared)
  list(SORT declared)
  list(LENGTH declared declared_count)
  if(declared_count LESS 10)
    message(FATAL_ERROR "${HEADER}: only ${declared_count} functions found: [${declared}]")
  endif()
  set(found "")
  foreach(name IN LISTS export_names)
    if(NOT name MATCHES "^vantrel_[a-z0-9_]+$")
      message(SEND_ERROR "${FILE}: unexpected export ${name} (not a vantrel_ C name)")
      set(failed ON)
    elseif(NOT name IN_LIST declared)
      message(SEND_ERROR "${FILE}: exports ${name}, which ${HEADER} does not declare")
      set(failed ON)
    endif()
    list(APPEND found "${name}")
  endforeach()
  list(SORT found)
  if(NOT found STREQUAL declared)
    message(SEND_ERROR "${FILE}: exported functions are [${found}], ${HEADER} declares [${declared}]")
    set(failed ON)
  endif()
  list(LENGTH export_rvas slot_count)
  if(NOT slot_count EQUAL declared_count)
    message(SEND_ERROR "${FILE}: the export address table has ${slot_count} entries, expected ${declared_count}")
    set(failed ON)
  endif()
  set(unique_rvas ${export_rvas})
  list(REMOVE_DUPLICATES unique_rvas)
  list(LENGTH unique_rvas unique_count)
  if(NOT unique_count EQUAL slot_count)
    message(SEND_ERROR "${FILE}: exports share an address: ${export_rvas}")
    set(failed ON)
  endif()
  string(REPLACE ";" " " found_text "${found}")
  message(STATUS "${FILE} exports ${slot_count} C functions: ${found_text}")
elseif(EXPORTS)
  if(NOT DEFINED DEMANGLER)
    message(FATAL_ERROR "DEMANGLER is not set")
  endif()
  list(LENGTH export_rvas slot_count)
  if(NOT slot_count EQUAL 4)
    message(SEND_ERROR "${FILE}: the export address table has ${slot_count} entries, expected 4")
    set(failed ON)
  endif()
  set(unique_rvas ${export_rvas})
  list(REMOVE_DUPLICATES unique_rvas)
  list(LENGTH unique_rvas unique_count)
  if(NOT unique_count EQUAL slot_count)
    message(SEND_ERROR "${FILE}: exports share an address: ${export_rvas}")
    set(failed ON)
  endif()

  # The string type, as each demangler spells it: GNU (with or without the
  # C++11 ABI's inline namespace) and Microsoft's (llvm-undname puts a blank
  # after each comma, Microsoft's own tools do not).
  set(string_type
    "(std::(__cxx11::)?basic_string<char, std::char_traits<char>, std::allocator<char> >|class std::basic_string<char, ?struct std::char_traits<char>, ?class std::allocator<char> ?>)")
  set(found "")
  foreach(mangled IN LISTS export_names)
    read_or_fail(demangled "${DEMANGLER}" "${mangled}")
    # llvm-undname echoes the mangled name on a line of its own first.
    string(REPLACE "${mangled}" "" demangled "${demangled}")
    string(STRIP "${demangled}" demangled)
    # The parse entry points read the text, the write entry points replace
    # it: only the former take it by const reference.
    # (One pattern per if: a second MATCHES in the same condition would
    # overwrite CMAKE_MATCH_1.)
    set(name "")
    if(demangled MATCHES "^(Get(Func|Filter)Definition)\\(${string_type} const&, AlertDefinitions&\\)$")
      set(name "${CMAKE_MATCH_1}")
    elseif(demangled MATCHES "^bool __cdecl (Get(Func|Filter)Definition)\\(${string_type} const ?&, ?struct AlertDefinitions ?&\\)$")
      set(name "${CMAKE_MATCH_1}")
    elseif(demangled MATCHES "^(Set(Func|Filter)Definition)\\(${string_type}&, AlertDefinitions&\\)$")
      set(name "${CMAKE_MATCH_1}")
    elseif(demangled MATCHES "^bool __cdecl (Set(Func|Filter)Definition)\\(${string_type} ?&, ?struct AlertDefinitions ?&\\)$")
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
