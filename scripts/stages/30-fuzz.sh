#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan + UBSan) and runs
# each for a bounded time with the dictionary, starting from the committed
# seed corpus. Prints the executions of each target and their total.
#   VANTREL_FUZZ_SECONDS=600 bash scripts/stages/30-fuzz.sh   for longer runs
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"

seconds="${VANTREL_FUZZ_SECONDS:-60}"
cmake --preset fuzz --fresh >/dev/null
cmake --build --preset fuzz

out="$root/build/fuzz/runs"
rm -rf "$out"
mkdir -p "$out"
total=0
for target in parse write c_api; do
  # The C interface's target reads each input as a text and as a record
  # set, so it starts from both seed corpora.
  case "$target" in
    c_api) seeds=("$root/fuzz/corpus/parse" "$root/fuzz/corpus/write") ;;
    *) seeds=("$root/fuzz/corpus/$target") ;;
  esac
  mkdir -p "$out/$target-corpus" "$out/$target-artifacts"
  log="$out/$target.log"
  # The first corpus directory receives new inputs; the committed seeds are
  # only read. A failing input is saved under $target-artifacts/.
  status=0
  "$root/build/fuzz/fuzz/vantrel_${target}_fuzzer" \
    -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="$root/fuzz/vantrel.dict" \
    -artifact_prefix="$out/$target-artifacts/" \
    "$out/$target-corpus" "${seeds[@]}" >"$log" 2>&1 \
    || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$status" -ne 0 ] || [ -z "$runs" ] \
      || [ -n "$(ls -A "$out/$target-artifacts")" ]; then
    echo "fuzz: $target failed (status $status)" >&2
    tail -40 "$log" >&2
    exit 1
  fi
  echo "fuzz: $target: $runs executions in $seconds s"
  total=$((total + runs))
done
echo "fuzz: $total executions in total"
