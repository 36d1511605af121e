# Release packages made by CPack from the install components (see
# VantrelInstall.cmake): `cpack` in a build directory. The settings common to
# every package are here; each generator's own settings follow in a section
# of their own.
set(CPACK_PACKAGE_NAME "vantrel")
set(CPACK_PACKAGE_VENDOR "The Vantrel authors")
set(CPACK_PACKAGE_CONTACT "The Vantrel authors <maintainers@users.noreply.c-seed-e54935f0.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")

# --- Debian packages (cpack -G DEB; the debian preset) -----------------------
# Made by `cmake --workflow --preset debian`, whose package step names the
# DEB generator; CPACK_GENERATOR is left to each build.
# One package per install component:
#   libvantrel1     runtime      the shared library
#   libvantrel-c1   c_runtime    the C interface's shared library
#   libvantrel-dev  development  headers, .so links, CMake package,
#                                pkg-config files
#   vantrel         tool         the command-line program
#   python3-vantrel python       the Python package (VANTREL_BUILD_PYTHON)
# Each carries /usr/share/doc/<package>/copyright (machine-readable, from
# LICENSE) and changelog.Debian.gz (from cmake/debian/changelog) when
# VANTREL_DEBIAN_DOCS is on, as the debian preset has it. Depends on system
# libraries come from dpkg-shlibdeps; those between the three packages are
# stated here, pinned to the same version.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool needs libvantrel.so.1, which is in no installed package while the
# packages are made: dpkg-shlibdeps finds it in the build tree, and the
# dependency on libvantrel1 is stated below instead.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}")
set(CPACK_STRIP_FILES ON)
set(vantrel_deb_version
  "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(vantrel_deb_runtime "libvantrel${PROJECT_VERSION_MAJOR}")

# CPack begins every package's description with the common summary above
# and indents the lines below as the control file wants them; it does not
# wrap them, so they are kept short here.
set(vantrel_deb_about "Vantrel reads the function and filter definition texts of an
alerting system into plain records (conditions, their parameters and the
joiner between them) and writes records back as text.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME "${vantrel_deb_runtime}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "${vantrel_deb_about}
It has four entry points and depends on nothing but the C++ standard
library.

This package contains the shared library.")
# CPack writes a postinst and postrm that run ldconfig; the trigger is what
# current dpkg expects (see libvantrel1.lintian-overrides).
configure_file("${PROJECT_SOURCE_DIR}/cmake/debian/triggers"
  "${PROJECT_BINARY_DIR}/debian/runtime/triggers" COPYONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  "${PROJECT_BINARY_DIR}/debian/runtime/triggers")
# A shlibs file, so that packages built against the library depend on it.
# CPack only writes it for the shared library, in the runtime package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(vantrel_deb_c_runtime "libvantrel-c${PROJECT_VERSION_MAJOR}")
set(CPACK_DEBIAN_C_RUNTIME_PACKAGE_NAME "${vantrel_deb_c_runtime}")
set(CPACK_DEBIAN_C_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_C_RUNTIME_DESCRIPTION "${vantrel_deb_about}
Its C interface holds its own copy of the reader and writer and passes
only C types, for hosts in C or any language with a C foreign function
interface, and C++ hosts built with another standard library.

This package contains the C interface's shared library.")
configure_file("${PROJECT_SOURCE_DIR}/cmake/debian/triggers"
  "${PROJECT_BINARY_DIR}/debian/c_runtime/triggers" COPYONLY)
set(CPACK_DEBIAN_C_RUNTIME_PACKAGE_CONTROL_EXTRA
  "${PROJECT_BINARY_DIR}/debian/c_runtime/triggers")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME "libvantrel-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "${vantrel_deb_runtime} (= ${vantrel_deb_version}), ${vantrel_deb_c_runtime} (= ${vantrel_deb_version})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "${vantrel_deb_about}

This package contains the development files: the headers (the C++
library's, the C interface's and its header-only C++ layer), the CMake
package (find_package(Vantrel), targets Vantrel::vantrel and
Vantrel::vantrel_c) and the pkg-config files (vantrel, vantrel-c).")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME "vantrel")
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS
  "${vantrel_deb_runtime} (= ${vantrel_deb_version})")
set(CPACK_DEBIAN_TOOL_DESCRIPTION "${vantrel_deb_about}

This package contains the vantrel program, which converts definition
texts to JSON and back and checks whether records survive being written
and read back.")

# The extension module holds the codec and the rules itself (linked
# statically): it needs the C++ runtime, which dpkg-shlibdeps finds, and the
# Python it was built for.
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME "python3-vantrel")
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
if(VANTREL_BUILD_PYTHON)
  set(vantrel_python_this "${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}")
  math(EXPR vantrel_python_after "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${vantrel_python_this}~), python3 (<< ${Python3_VERSION_MAJOR}.${vantrel_python_after})")
endif()
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "${vantrel_deb_about}

This package contains the Python 3 package vantrel: parse, format and
check rule texts as Python records, with the checks of the vantrel tool.")

if(VANTREL_DEBIAN_DOCS)
  # The copyright file: LICENSE in the machine-readable format, its text
  # indented by one space and its blank lines written as " .".
  file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" vantrel_license_lines)
  set(VANTREL_LICENSE_TEXT "")
  set(VANTREL_COPYRIGHT "")
  foreach(line IN LISTS vantrel_license_lines)
    if(line MATCHES "^Copyright \\(c\\) (.*)$")
      set(VANTREL_COPYRIGHT "${CMAKE_MATCH_1}")
    endif()
    if(line STREQUAL "")
      string(APPEND VANTREL_LICENSE_TEXT " .\n")
    else()
      string(APPEND VANTREL_LICENSE_TEXT " ${line}\n")
    endif()
  endforeach()
  string(REGEX REPLACE "\n$" "" VANTREL_LICENSE_TEXT "${VANTREL_LICENSE_TEXT}")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in"
    "${PROJECT_BINARY_DIR}/debian/copyright" @ONLY)

  # The changelog's first entry must be this version's.
  set(vantrel_changelog "${PROJECT_SOURCE_DIR}/cmake/debian/changelog")
  file(STRINGS "${vantrel_changelog}" vantrel_changelog_top LIMIT_COUNT 1)
  if(NOT vantrel_changelog_top MATCHES "^vantrel \\(${vantrel_deb_version}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog does not begin with an entry "
      "for ${vantrel_deb_version}: ${vantrel_changelog_top}")
  endif()
  find_program(VANTREL_GZIP gzip REQUIRED)
  set(vantrel_changelog_gz "${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz")
  # -n leaves out the name and time stamp, so the file is reproducible.
  add_custom_command(OUTPUT "${vantrel_changelog_gz}"
    COMMAND "${VANTREL_GZIP}" -9nc "${vantrel_changelog}" > "${vantrel_changelog_gz}"
    DEPENDS "${vantrel_changelog}"
    VERBATIM)
  add_custom_target(vantrel_debian_changelog ALL DEPENDS "${vantrel_changelog_gz}")

  set(vantrel_deb_components runtime c_runtime development)
  if(VANTREL_BUILD_TOOLS)
    list(APPEND vantrel_deb_components tool)
  endif()
  if(VANTREL_BUILD_PYTHON)
    list(APPEND vantrel_deb_components python)
  endif()
  foreach(component IN LISTS vantrel_deb_components)
    string(TOUPPER "${component}" upper)
    set(doc "${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
    install(FILES "${PROJECT_BINARY_DIR}/debian/copyright" "${vantrel_changelog_gz}"
      DESTINATION "${doc}" COMPONENT ${component})
    # Each lintian finding left in a package, with its reason.
    set(overrides
      "${PROJECT_SOURCE_DIR}/cmake/debian/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}.lintian-overrides")
    install(FILES "${overrides}"
      DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides"
      RENAME "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}"
      COMPONENT ${component})
  endforeach()
endif()

# --- ZIP: the Windows builds ------------------------------------------------
# One archive per ABI, vantrel-<version>-win64-msvc.zip (Microsoft's
# toolchain and runtime) and vantrel-<version>-win64-mingw.zip (MinGW-w64),
# with the DLL, its import library, the header, the CMake package, the
# licences and a text that says which hosts the archive is for: the two
# DLLs are not interchangeable.
if(WIN32)
  if(MSVC)
    set(vantrel_windows_abi msvc)
    set(vantrel_windows_hosts "${PROJECT_SOURCE_DIR}/cmake/windows-msvc-hosts.txt")
  else()
    set(vantrel_windows_abi mingw)
    set(vantrel_windows_hosts "${PROJECT_SOURCE_DIR}/cmake/windows-mingw-hosts.txt")
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME
    "vantrel-${PROJECT_VERSION}-win64-${vantrel_windows_abi}")
  install(FILES "${vantrel_windows_hosts}" DESTINATION .
    RENAME README-windows.txt COMPONENT runtime)
  # Programs built with Microsoft's STL carry parts of it (its headers'
  # inline code and the static part of its runtime): its licence goes with
  # them.
  if(MSVC AND VANTREL_MSVC_STL_ROOT)
    install(FILES
      "${VANTREL_MSVC_STL_ROOT}/LICENSE.txt"
      "${VANTREL_MSVC_STL_ROOT}/NOTICE.txt"
      DESTINATION "${CMAKE_INSTALL_DOCDIR}/msvc-stl"
      COMPONENT runtime)
  endif()
  # The MinGW DLL is linked -static: it contains MinGW-w64's start-up code
  # and winpthreads (under the expat and BSD licences, which ask for their
  # notices to go with the binary) besides GCC's runtime (under GCC's
  # runtime library exception, which asks for nothing). The notices are
  # those of the MinGW-w64 headers and libraries package that the DLL was
  # linked with: Debian's copyright file of mingw-w64-x86-64-dev, or the
  # winpthreads licence of an MSYS2 installation; VANTREL_MINGW_LICENSE
  # names another.
  if(MINGW)
    find_file(VANTREL_MINGW_LICENSE NAMES copyright COPYING
      PATHS /usr/share/doc/mingw-w64-x86-64-dev
            /mingw64/share/licenses/winpthreads
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
      DOC "The licence of MinGW-w64's winpthreads and start-up code, shipped with the DLL")
    if(NOT VANTREL_MINGW_LICENSE)
      message(FATAL_ERROR "The licence of MinGW-w64's winpthreads, which "
        "the DLL contains, was not found: install mingw-w64-x86-64-dev or "
        "name the file with -DVANTREL_MINGW_LICENSE=<file>")
    endif()
    install(FILES "${VANTREL_MINGW_LICENSE}"
      DESTINATION "${CMAKE_INSTALL_DOCDIR}/mingw-w64"
      RENAME copyright
      COMPONENT runtime)
  endif()
endif()

include(CPack)
