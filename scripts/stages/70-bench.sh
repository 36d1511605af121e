#!/usr/bin/env bash
# Benchmarks: release build of the bench preset, a short smoke run of the
# benchmark suite with the plain allocator (its checks that every
# implementation gives the same records and text run first, on every case),
# a short run of the allocation-counting build whose counts ratios.py checks,
# a short run of the C interface's benchmark against the C++ functions,
# and the instruction-count check of the parse and the write of the worked
# example, the typical rule and the 64 KB text against the limits in
# bench/instruction_limits.txt.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset bench --fresh
cmake --build --preset bench -j2
out=build/bench/stage
mkdir -p "$out"
filter='^(parse|write)/(worked_example|typical_rule|large/64K|comma_free/8K|dash_runs/8K|only_marks/8K|only_joiners/8K|many_eq/8K|values_100000)/|^threads/'
build/bench/bench/vantrel_bench --benchmark_min_time=0.01 \
  --benchmark_filter="$filter" --benchmark_format=json >"$out/timing.json"
build/bench/bench/vantrel_bench_allocs --benchmark_min_time=0.001 \
  --benchmark_filter='^(parse|write)/' --benchmark_format=json >"$out/allocs.json"
python3 bench/ratios.py "$out/timing.json" "$out/allocs.json" --check
# The C interface against the C++ functions: its table of ratios.
build/bench/bench/vantrel_c_bench --benchmark_min_time=0.05 | tee "$out/c_api.txt"
bash bench/instructions.sh build/bench
