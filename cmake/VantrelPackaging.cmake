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

include(CPack)
