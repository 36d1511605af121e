#!/usr/bin/env bash
# Instructions per byte of the typical-rule parse and write, counted by
# callgrind: a figure that, unlike timings, does not move with the load of
# the machine. Fails when either exceeds its threshold.
#
#   bash bench/instructions.sh [BUILD_DIR]     (default: build/bench)
#
# The thresholds are the counts measured when they were set plus 20%.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/bench}"
driver="$build/bench/vantrel_instructions"
parse_limit=29.3   # instructions per byte; measured 24.41
write_limit=5.5    # measured 4.56

calls=200
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

count() {  # count OPERATION FUNCTION: instructions per byte of one call
  local op="$1" fn="$2" bytes total
  bytes="$(valgrind --tool=callgrind --callgrind-out-file="$tmp/$op.out" \
    --toggle-collect="$fn" --collect-atstart=no -q "$driver" "$op" "$calls")"
  total="$(awk '/^summary:/ {print $2}' "$tmp/$op.out")"
  awk -v t="$total" -v c="$calls" -v b="$bytes" 'BEGIN {printf "%.2f", t / c / b}'
}

parse="$(count parse vantrel_bench_parse_once)"
write="$(count write vantrel_bench_write_once)"
echo "typical rule: parse $parse instructions/byte (limit $parse_limit)"
echo "typical rule: write $write instructions/byte (limit $write_limit)"

awk -v p="$parse" -v pl="$parse_limit" -v w="$write" -v wl="$write_limit" \
  'BEGIN { bad = 0
           if (p > pl) { print "parse exceeds its limit"; bad = 1 }
           if (w > wl) { print "write exceeds its limit"; bad = 1 }
           exit bad }'
