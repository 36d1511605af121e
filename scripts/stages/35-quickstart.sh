#!/usr/bin/env bash
# The README's quick start: the release workflow, then the vantrel tool on
# a bundled rule must print that rule's JSON, and a jq edit piped through
# `vantrel format` must give a rule that reads back with the edit.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --workflow --preset release --fresh
tool=build/release/tools/vantrel/vantrel

"$tool" parse examples/average_response_time.txt > build/release/quickstart.json
cmp build/release/quickstart.json examples/average_response_time.json
# The README shows the same JSON in its quick start.
awk '/^## Quick start/ {q = 1} q && /^```json$/ {j = 1; next} j && /^```$/ {exit} j' \
  README.md > build/release/quickstart.readme.json
cmp build/release/quickstart.readme.json examples/average_response_time.json

if command -v jq >/dev/null; then
  edited=$("$tool" parse examples/average_response_time.txt \
    | jq '.definitions[0].params[2].values = ["5"]' \
    | "$tool" format)
  times=$(printf '%s' "$edited" | "$tool" parse | jq -r '.definitions[0].params[2].values[0]')
  [ "$times" = "5" ] || { echo "jq edit did not survive: $times" >&2; exit 1; }
fi
echo "quick start: ok"
