# GoogleTest for every suite (tests/ and the tool's tests): the installed
# package, or, for cross builds (where the build machine's GoogleTest is
# built for the wrong system), built here from a source tree such as
# Debian's /usr/src/googletest. Included from the top-level CMakeLists.txt,
# so that the GTest:: targets and vantrel_discovery_timeout are seen by
# every folder below it.
set(VANTREL_GTEST_SOURCE_DIR "" CACHE PATH
  "Build GoogleTest from this source tree instead of finding an installed one")
# The source tree's options are set inside a function, so that they (above
# all BUILD_SHARED_LIBS) reach GoogleTest's folder and nothing else.
function(vantrel_add_gtest_source source_dir)
  set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
  set(BUILD_GMOCK OFF)
  set(INSTALL_GTEST OFF)
  set(BUILD_SHARED_LIBS OFF)
  # With Visual C++, the runtime DLL (/MD, /MDd) that the tests use too,
  # not GoogleTest's default of the static runtime.
  set(gtest_force_shared_crt ON)
  add_subdirectory("${source_dir}" "${PROJECT_BINARY_DIR}/googletest"
    EXCLUDE_FROM_ALL)
  # Its headers are someone else's code: keep them out of the warning set,
  # as an installed GoogleTest's headers are.
  foreach(gtest_target gtest gtest_main)
    get_target_property(gtest_includes ${gtest_target} INTERFACE_INCLUDE_DIRECTORIES)
    set_target_properties(${gtest_target} PROPERTIES
      INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${gtest_includes}")
  endforeach()
endfunction()

if(VANTREL_GTEST_SOURCE_DIR)
  vantrel_add_gtest_source("${VANTREL_GTEST_SOURCE_DIR}")
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Under an emulator (Wine for the Windows build) the first run of a test
# program also sets the emulator up, which takes longer than the default
# discovery time-out allows.
set(vantrel_discovery_timeout 5)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(vantrel_discovery_timeout 120)
endif()
