#!/usr/bin/env bash
# Runs every test stage in scripts/stages/, in order, stopping at the first
# that fails. Each stage is a self-contained script that configures, builds
# and tests one configuration.
#   bash scripts/test.sh            all stages
#   bash scripts/test.sh asan       only the stages whose name contains "asan"
set -euo pipefail
cd "$(dirname "$0")/.."

filter="${1:-}"
ran=0
for stage in scripts/stages/*.sh; do
  case "$(basename "$stage")" in *"$filter"*) ;; *) continue ;; esac
  echo "==> $(basename "$stage" .sh)"
  start=$(date +%s)
  bash "$stage"
  echo "<== $(basename "$stage" .sh): $(( $(date +%s) - start )) s"
  ran=$((ran + 1))
done
if [ "$ran" -eq 0 ]; then
  echo "no stage matches '$filter'" >&2
  exit 1
fi
# A stage that fails stops the script above, so reaching here means all passed.
echo "stages: $ran passed, 0 failed"
