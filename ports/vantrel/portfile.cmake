# Vantrel from the checkout that holds this port, built with the compiler of
# the triplet (so the DLL and its hosts share one Visual C++ runtime and STL):
#   vcpkg install vantrel --overlay-ports=<checkout>/ports
# The sources are not downloaded: the port is for this repository's own
# overlay use. vcpkg's binary cache key does not cover them, so a cached
# build of an older checkout can be reused; pass --binarysource=clear (or
# remove the cached package) after changing the sources.
#
# A shared library only: the records cross the boundary as std::string and
# std::vector, so the library is one DLL (or .so) per configuration that
# every host of that configuration shares.
vcpkg_check_linkage(ONLY_DYNAMIC_LIBRARY)

get_filename_component(SOURCE_PATH "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

# The libraries (the C++ one and the C interface's), their headers and the
# CMake package: no tests, examples, tool, Python module or C# tests, and
# the compiler's warnings as warnings. The CMake package goes straight to
# share/vantrel, where vcpkg keeps it. vcpkg configures Debug and Release
# itself, one build each, so the Release build must not add its own Debug
# sub-build (VantrelD) to the release tree.
vcpkg_cmake_configure(
  SOURCE_PATH "${SOURCE_PATH}"
  OPTIONS
    -DVANTREL_INSTALL=ON
    -DVANTREL_BUILD_TESTS=OFF
    -DVANTREL_BUILD_EXAMPLES=OFF
    -DVANTREL_BUILD_TOOLS=OFF
    -DVANTREL_BUILD_PYTHON=OFF
    -DVANTREL_BUILD_FUZZERS=OFF
    -DVANTREL_BUILD_BENCH=OFF
    -DVANTREL_DEBUG_CONFIGURATION=OFF
    -DVANTREL_WERROR=OFF
    -DVANTREL_DEBIAN_DOCS=OFF
    -DVANTREL_BUILD_C_LIBRARY=ON
    -DVANTREL_BUILD_DOTNET=OFF
    -DVANTREL_BUILD_WEB=OFF
    -DVANTREL_INSTALL_CMAKEDIR=share/vantrel
)
vcpkg_cmake_install()
vcpkg_copy_pdbs()
vcpkg_cmake_config_fixup(PACKAGE_NAME vantrel)
vcpkg_fixup_pkgconfig()

# The header and the CMake package once, from the release build; the
# licence as vcpkg's copyright file rather than under share/doc; not the
# release archive's readme, which the Windows install puts at the top.
file(REMOVE_RECURSE
  "${CURRENT_PACKAGES_DIR}/debug/include"
  "${CURRENT_PACKAGES_DIR}/debug/share"
  "${CURRENT_PACKAGES_DIR}/share/doc")
file(REMOVE
  "${CURRENT_PACKAGES_DIR}/README-windows.txt"
  "${CURRENT_PACKAGES_DIR}/debug/README-windows.txt")

file(INSTALL "${CMAKE_CURRENT_LIST_DIR}/usage"
  DESTINATION "${CURRENT_PACKAGES_DIR}/share/${PORT}")
vcpkg_install_copyright(FILE_LIST "${SOURCE_PATH}/LICENSE")
