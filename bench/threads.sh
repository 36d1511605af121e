#!/usr/bin/env bash
# The two-thread figures with their controls, and the same figures under
# allocator settings that serve as controls for the allocator:
#
#   bash bench/threads.sh [BUILD_DIR] [ROUNDS]     (default: build/bench, 3)
#
# Each round runs the threads/ benchmarks once per allocator setting and
# prints the throughput of two threads over that of one for every case.
# Timings on a shared machine move, so compare figures of one round with
# each other, not across rounds.
#   default         glibc malloc as the benchmark and the host use it: one
#                   arena per thread, per-thread cache (tcache)
#   one_arena       glibc.malloc.arena_max=1: both threads share one arena
#                   and its lock
#   no_tcache       glibc.malloc.tcache_count=0: every allocation goes to the
#                   thread's arena
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/bench}"
rounds="${2:-3}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

declare -A tunables=(
  [default]=""
  [one_arena]="glibc.malloc.arena_max=1"
  [no_tcache]="glibc.malloc.tcache_count=0"
)

for round in $(seq "$rounds"); do
  echo "round $round, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  for setting in default one_arena no_tcache; do
    GLIBC_TUNABLES="${tunables[$setting]}" "$build/bench/vantrel_bench" \
      --benchmark_filter='^threads/' --benchmark_min_time=0.2 \
      --benchmark_format=json >"$tmp/$setting.json" 2>/dev/null
    python3 - "$tmp/$setting.json" "$setting" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
rate = {}
for b in data["benchmarks"]:
    key = "items_per_second" if "items_per_second" in b else "bytes_per_second"
    name, threads = b["name"].rsplit("/real_time/threads:", 1)
    rate.setdefault(name[len("threads/"):], {})[threads] = b[key]
cells = [f"{n} {r['2'] / r['1']:.2f}" for n, r in rate.items() if "1" in r and "2" in r]
print(f"  {sys.argv[2]:10s} " + " | ".join(cells))
PY
  done
done
