#!/usr/bin/env bash
# The whole suite of stage 10 under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --workflow --preset asan --fresh
