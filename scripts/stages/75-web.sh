#!/usr/bin/env bash
# The WebAssembly module and the inspector page: the web workflow (configure
# with Debian's Emscripten, build the module and build/web/web/inspector.html,
# run the tests labelled web: the module under Node against the native tool,
# and the page in headless Chromium). Skipped, saying so, only where em++ is
# absent; scripts/setup.sh installs it.
set -euo pipefail
cd "$(dirname "$0")/../.."

if ! command -v em++ >/dev/null; then
  echo "web: em++ not found (Debian's emscripten package): stage skipped" >&2
  exit 0
fi
# em++ runs Debian's acorn with whichever node is first on PATH.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
cmake --workflow --preset web --fresh
ls -l build/web/web/inspector.html
