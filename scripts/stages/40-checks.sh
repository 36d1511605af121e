#!/usr/bin/env bash
# Checkers beyond the sanitizer suite:
#   - the concurrency test under ThreadSanitizer (preset tsan);
#   - the host tests under valgrind memcheck, zero errors and zero leaks;
#   - clang-tidy (.clang-tidy) and cppcheck on the library (src/), the
#     reference readers (reference/) and the tool (tools/), zero findings.
set -euo pipefail
cd "$(dirname "$0")/../.."

echo "checks: ThreadSanitizer"
cmake --preset tsan --fresh >/dev/null
cmake --build --preset tsan --target vantrel_concurrency_tests
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  build/tsan/tests/vantrel_concurrency_tests

echo "checks: valgrind memcheck"
# The ci build of stage 10 is reused when it is there.
cmake --preset ci >/dev/null
cmake --build --preset ci --target vantrel_host_tests
valgrind --quiet --error-exitcode=1 --leak-check=full \
  --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible \
  build/ci/tests/vantrel_host_tests --gtest_brief=1

# The library's sources and the tool's (its tests are left to the compiler
# warnings, like the library's). dll_main.cpp needs <windows.h>, and
# src/windows/ holds what only the Microsoft toolchain compiles (its
# runtime's macros): both are left to the Windows builds.
mapfile -t sources < <(git ls-files -- 'src/*.cpp' 'tools/*.cpp' 'reference/*.cpp' 'python/*.cpp' \
  | grep -v -e '^src/codec/dll_main\.cpp$' -e '^src/windows/' -e '/tests/')
echo "checks: ${#sources[@]} sources: ${sources[*]}"

echo "checks: clang-tidy"
# The ci build's compile commands come from gcc, whose default standard is
# C++17 already; clang-tidy's is older, so it is named. The ci build holds
# the tool (VANTREL_BUILD_TOOLS is on there), so its commands are known.
clang-tidy -p build/ci --quiet --extra-arg=-std=c++17 "${sources[@]}"

echo "checks: cppcheck"
# One finding is suppressed, by design:
#   constParameter in exports.cpp: the exported signatures take the source
#     by non-const reference; they are the host's ABI and cannot change.
# CLI11 and nlohmann-json are system headers to cppcheck
# (missingIncludeSystem): it checks our code, not theirs.
cppcheck --enable=warning,style,performance,portability --std=c++17 \
  --language=c++ --error-exitcode=1 --inline-suppr --quiet \
  -I include -I src -I . -I tools/rules -I tools/vantrel --suppress=missingIncludeSystem \
  --suppress=constParameter:src/codec/exports.cpp \
  "${sources[@]}"
echo "checks: all clean"
