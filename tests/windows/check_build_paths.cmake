# The shipped files of the Microsoft-ABI archive, unpacked in PREFIX, name
# no directory of the build machine (CHECKOUT, the checkout the archive was
# built in, or any directory below it, the build tree and the STL among
# them):
#
#   bin/Vantrel.dll, bin/VantrelD.dll          (VantrelD's __FILE__ strings)
#   lib/Vantrel.lib, lib/VantrelD.lib          (the members' names)
#
# and the PDBs (bin/*.pdb) name the library's sources by their mapped
# paths, /vantrel/src/..., not by CHECKOUT/src/....
#   cmake -DPREFIX=... -DCHECKOUT=... -P check_build_paths.cmake
foreach(var PREFIX CHECKOUT)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(failed OFF)
foreach(file bin/Vantrel.dll bin/VantrelD.dll lib/Vantrel.lib lib/VantrelD.lib)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(SEND_ERROR "${file} is missing")
    set(failed ON)
    continue()
  endif()
  file(STRINGS "${PREFIX}/${file}" leaks REGEX "${CHECKOUT}")
  if(leaks)
    list(GET leaks 0 first)
    message(SEND_ERROR "${file} names the build machine's ${CHECKOUT}: ${first}")
    set(failed ON)
  else()
    message(STATUS "${file}: no build path")
  endif()
endforeach()

foreach(file bin/Vantrel.pdb bin/VantrelD.pdb)
  file(STRINGS "${PREFIX}/${file}" mapped REGEX "^/vantrel/src/codec/exports\\.cpp$")
  file(STRINGS "${PREFIX}/${file}" unmapped REGEX "^${CHECKOUT}/src/")
  if(NOT mapped OR unmapped)
    message(SEND_ERROR "${file} does not name its sources as /vantrel/src/...")
    set(failed ON)
  else()
    message(STATUS "${file}: sources named /vantrel/src/...")
  endif()
endforeach()

if(failed)
  message(FATAL_ERROR "build paths in the shipped files")
endif()
