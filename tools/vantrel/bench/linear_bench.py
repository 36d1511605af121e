#!/usr/bin/env python3
"""The checks stay linear on hostile rules: time per byte, 1,000 to 200,000.

Runs `vantrel check` on one lossy rule of N conditions
(--#--a--#----{--b--}----}--x joined by " @@AND@@ ": each condition drops
its "x") and on records with one parameter of N values that each hold
"--,--" (each comes back split), for N from 1,000 to 200,000, and prints the
time per byte of input with the start-up of the process (a run on a tiny
rule) taken off. Not a test: it prints the figures, and exits 1 when the
time per byte at the largest N is more than 3 times that at 10,000, which a
quadratic check would be by far (it grows 20-fold from 10,000 to 200,000).

usage: linear_bench.py BUILD_DIR   (a release build, e.g. build/release)
"""
import json
import os
import subprocess
import sys
import time

SIZES = (1000, 10000, 100000, 200000)


def best_time(tool, args, data, runs=3):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run([tool] + args, input=data, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        if done.returncode not in (0, 1):
            sys.exit(f"{tool} {args} exited {done.returncode}")
        best = elapsed if best is None else min(best, elapsed)
    return best


def text_rule(n):
    return " @@AND@@ ".join(["--#--a--#----{--b--}----}--x"] * n).encode()


def records_rule(n):
    return json.dumps({"combination": None, "definitions": [
        {"name": "n", "detail": "d",
         "params": [{"key": "k", "values": ["a--,--b"] * n}]}]}).encode()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    tool = os.path.join(sys.argv[1], "tools", "vantrel", "vantrel")
    start_up = best_time(tool, ["check"], b"--#--a--#----{--b--}----}--", runs=5)
    print(f"start-up of one check: {start_up * 1e3:.1f} ms")
    failed = False
    for name, make, args in (("text check", text_rule, ["check", "--input", "text"]),
                             ("records check", records_rule, ["check", "--input", "json"])):
        per_byte = {}
        print(f"\n{name}: N, bytes, seconds, ns per byte")
        for n in SIZES:
            data = make(n)
            seconds = max(best_time(tool, args, data) - start_up, 0.0)
            per_byte[n] = seconds * 1e9 / len(data)
            print(f"  {n:>7,} {len(data):>10,} {seconds:8.3f} {per_byte[n]:8.2f}")
        growth = per_byte[SIZES[-1]] / max(per_byte[10000], 1e-9)
        print(f"  ns per byte at {SIZES[-1]:,} / at 10,000: {growth:.2f}")
        failed = failed or growth > 3
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
