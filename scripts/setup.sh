#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the tools need.
# Only what is missing is installed; run as root or with sudo available.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev jq
  g++-mingw-w64-x86-64-posix googletest wine64
  clang libclang-rt-14-dev valgrind cppcheck clang-tidy gcovr
  libbenchmark-dev python3 python3-yaml
  dpkg-dev file lintian clang-format-14
  clang-14 clang-tools-14 lld-16 llvm-14 libwine-dev
  pybind11-dev python3-pybind11 python3-dev python3-pytest python3-hypothesis
  mypy python3-build python3-venv python3-setuptools
  emscripten nodejs chromium chromium-driver python3-selenium
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
