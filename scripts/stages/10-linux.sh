#!/usr/bin/env bash
# The ci workflow: a debug build with warnings as errors, then every test
# CTest knows: the unit tests of the internals (condition text, mark search,
# vocabulary), the host tests through the shared library and its public
# header, the exhaustive comparison with the literal model, the bad-input,
# allocation-failure and concurrency tests, a C++11 compile of the header,
# the export check, the fuzz targets replayed over their committed corpus,
# a separate project using Vantrel by add_subdirectory and an install of it
# by find_package and by pkg-config, the example host, and the vantrel tool
# (its helpers' unit tests, one run of the built program per case, and the
# installed program run from its prefix).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --workflow --preset ci --fresh
