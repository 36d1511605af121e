#!/usr/bin/env bash
# The whole suite under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --workflow --preset asan --fresh
