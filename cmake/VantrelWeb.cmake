# The WebAssembly build (web/, Emscripten): nlohmann-json as an interface
# target on a directory that holds only its headers. Its package would add
# the system's include directory, whose C library headers are not
# Emscripten's.
find_path(VANTREL_NLOHMANN_INCLUDE_DIR nlohmann/json.hpp
  PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(vantrel_json_include "${PROJECT_BINARY_DIR}/web-include")
file(MAKE_DIRECTORY "${vantrel_json_include}")
file(CREATE_LINK "${VANTREL_NLOHMANN_INCLUDE_DIR}/nlohmann"
  "${vantrel_json_include}/nlohmann" SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${vantrel_json_include}")
