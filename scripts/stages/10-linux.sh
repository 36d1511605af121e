#!/usr/bin/env bash
# Debug build with warnings as errors: unit tests, host tests, the export
# check, the installed-package check and the examples.
set -euo pipefail
cmake --workflow --preset ci --fresh
