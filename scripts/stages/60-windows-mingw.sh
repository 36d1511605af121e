#!/usr/bin/env bash
# The Windows DLL, cross-built with MinGW-w64, and the whole suite run under
# Wine: unit tests, host tests, the model comparisons through the DLL
# (label boundary), the run-time loading test, the example and the checks
# of the DLL's import and export tables.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --workflow --preset windows --fresh
# The test run starts one Wine server and stops it at its end (the
# vantrel_wine_server fixture); should the run have stopped before its end,
# stop the server rather than leave it behind.
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
