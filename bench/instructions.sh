#!/usr/bin/env bash
# Instructions per byte of the typical-rule parse and write, and of their
# floors, counted by callgrind: figures that, unlike timings, do not move
# with the load of the machine. Fails when the parse or the write exceeds
# its limit.
#
#   bash bench/instructions.sh [BUILD_DIR] [--all]   (default: build/bench)
#
# --all also counts the worked example and the 64 KB text. The limits are
# the counts measured when they were set plus 20%.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build/bench"
texts="typical"
for arg in "$@"; do
  case "$arg" in
    --all) texts="worked typical 64K" ;;
    *) build="$arg" ;;
  esac
done
driver="$build/bench/vantrel_instructions"
parse_limit=22.4   # instructions per byte; measured 18.69
write_limit=4.6    # measured 3.81

calls=200
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

count() {  # count OPERATION TEXT: instructions per byte of one call
  local op="$1" text="$2" bytes total
  bytes="$(valgrind --tool=callgrind --callgrind-out-file="$tmp/$op.out" \
    --toggle-collect="vantrel_bench_${op}_once" --collect-atstart=no -q \
    "$driver" "$op" "$text" "$calls")"
  total="$(awk '/^summary:/ {print $2}' "$tmp/$op.out")"
  awk -v t="$total" -v c="$calls" -v b="$bytes" 'BEGIN {printf "%.2f", t / c / b}'
}

for text in $texts; do
  parse="$(count parse "$text")"
  parse_floor="$(count parse_floor "$text")"
  write="$(count write "$text")"
  write_floor="$(count write_floor "$text")"
  echo "$text: parse $parse instructions/byte (floor $parse_floor)," \
    "write $write (floor $write_floor)"
  if [ "$text" = typical ]; then
    typical_parse="$parse"
    typical_write="$write"
  fi
done
echo "limits for the typical rule: parse $parse_limit, write $write_limit"

awk -v p="$typical_parse" -v pl="$parse_limit" -v w="$typical_write" -v wl="$write_limit" \
  'BEGIN { bad = 0
           if (p > pl) { print "parse exceeds its limit"; bad = 1 }
           if (w > wl) { print "write exceeds its limit"; bad = 1 }
           exit bad }'
