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

# Under Wine (wine-run.sh as the emulator): one Wine server for the whole
# test run, started before the first Windows program and stopped after the
# last by the fixture vantrel_wine_server. Every test that runs a Windows
# program requires it: the GoogleTest programs through
# ${vantrel_test_properties}, passed as their discovered tests' PROPERTIES,
# and the tests of add_test() through vantrel_require_wine_server(), called
# at the end of each folder that has them. wine-run.sh says why.
set(vantrel_test_properties "")
set(vantrel_wine_server_fixture "")
if(CMAKE_CROSSCOMPILING_EMULATOR MATCHES "wine-run\\.sh;")
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 vantrel_wine_run)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 1 vantrel_wine_program)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 2 vantrel_wine_prefix)
  set(vantrel_wine_server_fixture vantrel_wine_server)
  set(vantrel_test_properties FIXTURES_REQUIRED ${vantrel_wine_server_fixture})
  add_test(NAME vantrel.wine_server.start
    COMMAND "${vantrel_wine_run}" --start-server
      "${vantrel_wine_program}" "${vantrel_wine_prefix}")
  add_test(NAME vantrel.wine_server.stop
    COMMAND "${vantrel_wine_run}" --stop-server
      "${vantrel_wine_program}" "${vantrel_wine_prefix}")
  set_tests_properties(vantrel.wine_server.start PROPERTIES
    FIXTURES_SETUP ${vantrel_wine_server_fixture})
  set_tests_properties(vantrel.wine_server.stop PROPERTIES
    FIXTURES_CLEANUP ${vantrel_wine_server_fixture})
endif()

function(vantrel_require_wine_server)
  if(vantrel_wine_server_fixture)
    get_directory_property(tests TESTS)
    if(tests)
      set_property(TEST ${tests} APPEND PROPERTY
        FIXTURES_REQUIRED ${vantrel_wine_server_fixture})
    endif()
  endif()
endfunction()
