#!/usr/bin/env bash
# Instructions per byte of the parse and the write of the worked example,
# the typical rule and the 64 KB text, and of their floors, counted by
# callgrind: figures that, unlike timings, do not move with the load of the
# machine. Fails when a parse or a write exceeds its limit.
#
#   bash bench/instructions.sh [BUILD_DIR]                (default: build/bench)
#   bash bench/instructions.sh [BUILD_DIR] --set-limits
#
# The limits are in bench/instruction_limits.txt. --set-limits measures the
# counts and writes that file anew: each limit is the count measured then
# plus 3%, so a change that makes the codec slower by more than that has to
# measure again, and say so in its commit. Nobody edits the file by hand.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build/bench"
set_limits=0
for arg in "$@"; do
  case "$arg" in
    --set-limits) set_limits=1 ;;
    --all) ;;  # every text is counted; kept for old command lines
    *) build="$arg" ;;
  esac
done
driver="$build/bench/vantrel_instructions"
limits_file="bench/instruction_limits.txt"
margin=1.03

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

# The measured counts, one line per text and operation: TEXT OP COUNT.
: >"$tmp/counts"
for text in worked typical 64K; do
  parse="$(count parse "$text")"
  parse_floor="$(count parse_floor "$text")"
  write="$(count write "$text")"
  write_floor="$(count write_floor "$text")"
  echo "$text: parse $parse instructions/byte (floor $parse_floor)," \
    "write $write (floor $write_floor)"
  printf '%s parse %s\n%s write %s\n' "$text" "$parse" "$text" "$write" \
    >>"$tmp/counts"
done

if [ "$set_limits" = 1 ]; then
  {
    echo "# Instruction limits of bench/instructions.sh, per byte: the counts"
    echo "# measured by 'bash bench/instructions.sh --set-limits' plus 3%."
    echo "# Written by that script; do not edit by hand."
    echo "# measured $(date -u +%Y-%m-%d) with $(c++ --version | head -1)"
    echo "# text operation measured limit"
    awk -v m="$margin" '{printf "%s %s %s %.2f\n", $1, $2, $3, $3 * m}' \
      "$tmp/counts"
  } >"$limits_file"
  echo "limits written to $limits_file"
fi

# Compares every count with its limit; a text or operation without a limit
# fails too, so the file cannot fall behind the texts counted here.
awk 'NR == FNR { if ($1 !~ /^#/) limit[$1 " " $2] = $4; next }
     { key = $1 " " $2
       if (!(key in limit)) { print key ": no limit in the limits file"; bad = 1; next }
       status = ($3 > limit[key]) ? "EXCEEDS" : "within"
       if ($3 > limit[key]) bad = 1
       printf "%s %s: %s, limit %s: %s\n", $1, $2, $3, limit[key], status }
     END { exit bad }' "$limits_file" "$tmp/counts"
