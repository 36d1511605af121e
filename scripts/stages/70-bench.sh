#!/usr/bin/env bash
# Benchmarks: release build of the bench preset, a short smoke run of the
# benchmark suite (its checks that every implementation gives the same
# records and text run first, on every case), and the instruction-count
# check of the typical-rule parse and write.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset bench --fresh
cmake --build --preset bench -j2
build/bench/bench/vantrel_bench --benchmark_min_time=0.01 \
  --benchmark_filter='^(parse|write)/(worked_example|typical_rule|large/64K|comma_free/8K|dash_runs/8K|only_marks/8K|only_joiners/8K|many_eq/8K)/|^threads/'
bash bench/instructions.sh build/bench
