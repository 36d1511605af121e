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
endif()

include(CPack)
