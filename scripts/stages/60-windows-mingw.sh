#!/usr/bin/env bash
# The Windows DLL, cross-built with MinGW-w64, and the whole suite run under
# Wine: unit tests, host tests, the model comparisons through the DLL
# (label boundary), the run-time loading test, the example and the checks
# of the DLL's import and export tables.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --workflow --preset windows --fresh
# Wine's server lingers for a few seconds after the last program; stop it
# now rather than leave it behind.
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
