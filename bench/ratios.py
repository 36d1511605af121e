#!/usr/bin/env python3
"""Turns one run of vantrel_bench (--benchmark_format=json, with
repetitions) into the table of ratios of the README.

    python3 bench/ratios.py result.json

Every figure is a ratio of medians taken from the same run. Prints a
Markdown table and exits 1 when a target is missed (with --check)."""

import json
import sys


def load(path):
    with open(path) as f:
        data = json.load(f)
    med = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") != "median":
                continue
            name = b["run_name"]
        else:
            name = b["name"]
            if name in med:  # no aggregates: keep the first repetition
                continue
        med[name] = b
    return data.get("context", {}), med


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    check = "--check" in sys.argv
    context, med = load(args[0])

    def t(name):
        # CPU time: on a shared machine it leaves out the time the benchmark
        # waited for a core.
        return med[name]["cpu_time"] if name in med else None

    rows = []
    missed = []

    def row(what, value, target, ok):
        mark = "" if ok is None else ("met" if ok else "MISSED")
        if ok is False:
            missed.append(what)
        rows.append((what, "n/a" if value is None else f"{value:.3g}", target, mark))

    def ratio(a, b):
        ta, tb = t(a), t(b)
        return None if ta is None or tb is None else ta / tb

    floor_cases = ["worked_example", "typical_rule", "large/64K", "large/1M", "large/16M"]
    for c in floor_cases:
        r = ratio(f"parse/{c}/ours", f"parse/{c}/floor")
        row(f"parse {c}: ours / floor", r, "<= 1.3", None if r is None else r <= 1.3)
    all_cases = floor_cases + ["params_100000", "values_100000"]
    families = ["comma_free", "many_eq", "dash_runs", "only_marks", "only_joiners"]
    sizes = ["8K", "32K", "128K"]
    for c in all_cases + [f"{f}/{s}" for f in families for s in sizes]:
        r = ratio(f"write/{c}/ours", f"write/{c}/floor")
        row(f"write {c}: ours / floor", r, "<= 1.3", None if r is None else r <= 1.3)
    for c in floor_cases[:2] + ["large/1M"]:
        r = ratio(f"write/{c}/ours", f"write/{c}/floor_presized")
        row(f"write {c}: ours / floor with size known", r, "-", None)
    for c in ["params_100000", "values_100000"] + [f"{f}/{s}" for f in families for s in sizes]:
        r = ratio(f"parse/{c}/ours", f"parse/{c}/floor")
        row(f"parse {c}: ours / floor", r, "-", None)
    r = ratio("parse/typical_rule/literal", "parse/typical_rule/ours")
    row("parse typical_rule: literal / ours (speed-up)", r, ">= 3", None if r is None else r >= 3)
    for s in sizes:
        r = ratio(f"parse/comma_free/{s}/literal", f"parse/comma_free/{s}/ours")
        target = ">= 1000" if s == sizes[-1] else "-"
        row(f"parse comma_free/{s}: literal / ours (speed-up)", r, target,
            None if (r is None or s != sizes[-1]) else r >= 1000)

    def bytes_of(name):
        return med[name]["bytes"]

    lin_families = [("large", ["64K", "1M", "16M"])] + [(f, sizes) for f in families]
    for op in ["parse", "write"]:
        for impl in ["ours", "firstbyte"]:
            for fam, sz in lin_families:
                small, big = f"{op}/{fam}/{sz[0]}/{impl}", f"{op}/{fam}/{sz[-1]}/{impl}"
                if small not in med or big not in med:
                    continue
                r = (t(big) / bytes_of(big)) / (t(small) / bytes_of(small))
                ok = r <= 1.5 if impl == "ours" else None
                row(f"{op} {fam} ({impl}): time/byte {sz[-1]} / {sz[0]}", r,
                    "<= 1.5" if impl == "ours" else "-", ok)
    one = med.get("threads/typical_rule/ours/real_time/threads:1")
    two = med.get("threads/typical_rule/ours/real_time/threads:2")
    if one and two:
        r = two["items_per_second"] / one["items_per_second"]
        row("parse typical_rule: throughput 2 threads / 1 thread", r, ">= 1.7", r >= 1.7)
    for c in ["dash_runs/128K", "typical_rule"]:
        for op in ["parse"]:
            r = ratio(f"{op}/{c}/firstbyte", f"{op}/{c}/ours")
            row(f"{op} {c}: first-byte search / middle-byte search", r, "-", None)

    # Allocations per call.
    bad_allocs = []
    for name, b in med.items():
        parts = name.split("/")
        if parts[0] == "parse" and parts[-1] == "ours":
            floor = med.get("/".join(parts[:-1] + ["floor"]))
            if floor and b["allocs"] != floor["allocs"]:
                bad_allocs.append(name)
        if parts[0] == "write" and parts[-1] == "ours" and b["allocs"] > 1:
            bad_allocs.append(name)
    row("allocations: parse == floor and write <= 1, over all cases",
        len(bad_allocs), "0 cases off", not bad_allocs)
    for name in bad_allocs:
        print(f"allocation count off: {name}", file=sys.stderr)

    print(f"Machine: {context.get('num_cpus')} CPUs at {context.get('mhz_per_cpu')} MHz, "
          f"load average {context.get('load_avg')}")
    print()
    print("| figure | value | target | |")
    print("|---|---|---|---|")
    for what, value, target, mark in rows:
        print(f"| {what} | {value} | {target} | {mark} |")
    if missed:
        print("\nmissed: " + "; ".join(missed), file=sys.stderr)
    return 1 if (check and missed) else 0


if __name__ == "__main__":
    sys.exit(main())
