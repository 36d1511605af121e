#!/usr/bin/env bash
# The two-thread figures with their controls, and the same figures under
# allocator settings that serve as controls for the allocator:
#
#   bash bench/threads.sh [BUILD_DIR] [ROUNDS]     (default: build/bench, 3)
#
# Each round runs the threads/ benchmarks once per setting and prints, for
# every case, the throughput of two threads over that of one ("gain", real
# time) and the CPU time per call of two threads over that of one ("cpu",
# which leaves out the time a thread waited for a core: 1.00 means the two
# threads cost each other nothing). Timings on a shared machine move, so
# compare figures of one round with each other, not across rounds.
#   default    as the benchmark runs by itself: every thread off the main
#              thread, with a glibc arena of its own
#   on_main    VANTREL_BENCH_ON_MAIN=1: the one-thread run, and the first
#              thread of the two-thread run, on the main thread, whose heap
#              (the main arena) the preparation of the cases has cut up; the
#              second thread still gets a fresh arena
#   one_arena  glibc.malloc.arena_max=1: both threads share the main arena
#              and its lock
#   no_tcache  glibc.malloc.tcache_count=0: no per-thread cache in front of
#              the arenas
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/bench}"
rounds="${2:-3}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

declare -A tunables=(
  [default]="" [on_main]="" [one_arena]="glibc.malloc.arena_max=1"
  [no_tcache]="glibc.malloc.tcache_count=0"
)
declare -A on_main=([default]=0 [on_main]=1 [one_arena]=0 [no_tcache]=0)

for round in $(seq "$rounds"); do
  echo "round $round, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  for setting in default on_main one_arena no_tcache; do
    GLIBC_TUNABLES="${tunables[$setting]}" \
    VANTREL_BENCH_ON_MAIN="${on_main[$setting]}" "$build/bench/vantrel_bench" \
      --benchmark_filter='^threads/' --benchmark_min_time=0.2 \
      --benchmark_format=json >"$tmp/$setting.json" 2>/dev/null
    python3 - "$tmp/$setting.json" "$setting" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
runs = {}
for b in data["benchmarks"]:
    key = "items_per_second" if "items_per_second" in b else "bytes_per_second"
    name, threads = b["name"].rsplit("/real_time/threads:", 1)
    runs.setdefault(name[len("threads/"):], {})[threads] = (b[key], b["cpu_time"])
print(f"  {sys.argv[2]}")
for n, r in runs.items():
    if "1" in r and "2" in r:
        print(f"    {n:22s} gain {r['2'][0] / r['1'][0]:.2f}  cpu {r['2'][1] / r['1'][1]:.2f}")
PY
  done
done
