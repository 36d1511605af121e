#!/usr/bin/env bash
# The Microsoft-ABI Vantrel.dll: cross-built with clang-cl against
# Microsoft's STL and the Visual C++ runtime DLLs, and the whole Windows
# suite run under Wine (Wine's own msvcp140.dll, vcruntime140.dll and
# ucrtbase.dll): unit and host tests, the model comparisons through the
# DLL (label boundary), the run-time loading test, the table checks (PDB,
# version resource, hardening, exact imports), the install and a separate
# consumer project, the Debug DLL (VantrelD.dll, built by the build's
# Debug sub-build: table-checked, not run: Wine has no debug runtime), hosts
# of every configuration built against the unpacked ZIP package (the release
# ones run), hosts of the wrong runtime configuration failing to link, build
# paths, the Windows workflow file's check, and the ZIP package with both
# configurations (made by the workflow's package step, left in
# build/windows-msvc/packages/).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --workflow --preset windows-msvc --fresh
# The test run and the consumer test each start one Wine server and stop
# it at their end (wine-run.sh); should either have stopped before its end,
# stop the servers rather than leave them behind.
for prefix in build/windows-msvc/wineprefix \
              build/windows-msvc/tests/windows/consumer_test/wineprefix; do
  WINEPREFIX="$PWD/$prefix" wineserver -k 2>/dev/null || true
done
