#!/usr/bin/env python3
"""Turns one run of vantrel_bench into the table of docs/performance.md.

    python3 bench/ratios.py timing.json [allocs.json] [--threads=other.json] [--check]

timing.json is one run of vantrel_bench (the plain allocator) with
--benchmark_format=json, best with repetitions and
--benchmark_report_aggregates_only=true; every figure is a ratio of two
medians of that one run (CPU time for one thread; throughput in real time
for the two-thread figures). allocs.json is a run of vantrel_bench_allocs
(the counting allocator), whose `allocs` counters give the allocations per
call; its times are not used. With --threads, the two-thread figures are
taken from another run (for instance one with VANTREL_BENCH_ON_MAIN=1, see
docs/performance.md).

Prints Markdown tables. With --check, exits 1 when an allocation count is
off (parse making other allocations than its floor, or a write making more
than one); the timing goals are marked met or missed but never fail the
run, since timings on a shared machine move from run to run."""

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
    allocs = load(args[1])[1] if len(args) > 1 else {}
    threads_file = [a.split("=", 1)[1] for a in sys.argv[1:] if a.startswith("--threads=")]
    threaded = load(threads_file[0])[1] if threads_file else med

    def cpu(name):
        return med[name]["cpu_time"] if name in med else None

    def ratio(a, b):
        ta, tb = cpu(a), cpu(b)
        return None if ta is None or tb is None else ta / tb

    def gain(name):
        """Throughput of two threads over that of one."""
        one = threaded.get(f"{name}/real_time/threads:1")
        two = threaded.get(f"{name}/real_time/threads:2")
        if not one or not two:
            return None
        key = "items_per_second" if "items_per_second" in one else "bytes_per_second"
        return two[key] / one[key]

    def fmt(v):
        return "n/a" if v is None else f"{v:.2f}"

    rows = []

    def row(what, value, goal, ok):
        mark = "" if ok is None else ("met" if ok else "MISSED")
        rows.append((what, value, goal, mark))

    # The table of the goals.
    for case, label, goal in [
        ("worked_example", "the worked example (99 bytes)", 1.5),
        ("typical_rule", "a rule of five typical conditions (951 bytes)", 1.25),
        ("large/1M", "1 MB of conditions", 1.15),
    ]:
        r = ratio(f"parse/{case}/ours", f"parse/{case}/floor")
        row(f"parse / floor, {label}", fmt(r), f"<= {goal}", None if r is None else r <= goal)

    write_cases = ["worked_example", "typical_rule", "large/64K", "large/1M"]
    writes = {c: ratio(f"write/{c}/ours", f"write/{c}/floor") for c in write_cases}
    known = [w for w in writes.values() if w is not None]
    worst = max(known) if known else None
    row("write / floor with its size walk, worst of worked example, typical rule, "
        "64 KB, 1 MB (each: " + ", ".join(fmt(writes[c]) for c in write_cases) + ")",
        fmt(worst), "<= 1.2", None if worst is None else worst <= 1.2)

    ours2 = gain("threads/large/64K/ours")
    floor2 = gain("threads/large/64K/floor")
    goal_ok = None if ours2 is None or floor2 is None else ours2 >= 0.9 * floor2
    row("two threads / one thread, parse of a 64 KB text into distinct targets",
        fmt(ours2), ">= 0.9 x the floor's gain" +
        ("" if floor2 is None else f" ({0.9 * floor2:.2f})"), goal_ok)
    row("two threads / one thread, the floor on the same text (the machine's reference)",
        fmt(floor2), "-", None)

    # Further figures of the same run.
    extra = []
    for c in write_cases:
        extra.append((f"write into a new string each call / floor ({c})",
                      fmt(ratio(f"write/{c}/ours_fresh", f"write/{c}/floor"))))
    for c in write_cases:
        extra.append((f"write / floor given the size ({c})",
                      fmt(ratio(f"write/{c}/ours", f"write/{c}/floor_presized"))))
    for c in ["large/64K", "large/16M", "params_100000", "values_100000"]:
        extra.append((f"parse / floor ({c})", fmt(ratio(f"parse/{c}/ours", f"parse/{c}/floor"))))
    for c in ["typical_rule", "large/64K"]:
        extra.append((f"literal model / ours, parse ({c})",
                      fmt(ratio(f"parse/{c}/literal", f"parse/{c}/ours"))))
    for name in ["threads/large/64K/literal", "threads/typical_rule/ours",
                 "threads/typical_rule/floor", "threads/control/scan",
                 "threads/control/chase", "threads/control/alloc"]:
        extra.append((f"two threads / one thread: {name[len('threads/'):]}", fmt(gain(name))))
    for name in ["threads/large/64K/ours", "threads/large/64K/floor",
                 "threads/large/64K/literal"]:
        one = threaded.get(f"{name}/real_time/threads:1")
        two = threaded.get(f"{name}/real_time/threads:2")
        if one and two:
            extra.append((f"CPU time per call, two threads / one thread: {name[len('threads/'):]}",
                          fmt(two["cpu_time"] / one["cpu_time"])))
    families = ["comma_free", "many_eq", "dash_runs", "only_marks", "only_joiners"]
    for op in ["parse", "write"]:
        for fam, small, big in [("large", "64K", "16M")] + [(f, "8K", "128K") for f in families]:
            a, b = f"{op}/{fam}/{small}/ours", f"{op}/{fam}/{big}/ours"
            if a in med and b in med:
                r = (cpu(b) / med[b]["bytes"]) / (cpu(a) / med[a]["bytes"])
                extra.append((f"{op} time per byte, {fam} {big} / {small}", fmt(r)))

    bad_allocs = []
    if allocs:
        for name, b in allocs.items():
            parts = name.split("/")
            if parts[-1] != "ours" or "allocs" not in b:
                continue
            if parts[0] == "parse":
                floor = allocs.get("/".join(parts[:-1] + ["floor"]))
                if floor and b["allocs"] != floor["allocs"]:
                    bad_allocs.append(name)
            if parts[0] == "write" and b["allocs"] > 1:
                bad_allocs.append(name)
        counted = sum(1 for n in allocs if n.endswith("/ours") and n.split("/")[0] in ("parse", "write"))
        extra.append(("allocations: parse equal to its floor, write at most one "
                      f"(cases off, of {counted})", str(len(bad_allocs))))
        for name in bad_allocs:
            print(f"allocation count off: {name}", file=sys.stderr)

    print(f"Machine: {context.get('num_cpus')} CPUs at {context.get('mhz_per_cpu')} MHz, "
          f"load average {context.get('load_avg')}")
    print()
    print("| figure | measured | goal | |")
    print("|---|---|---|---|")
    for what, value, goal, mark in rows:
        print(f"| {what} | {value} | {goal} | {mark} |")
    print()
    print("| further figure | measured |")
    print("|---|---|")
    for what, value in extra:
        print(f"| {what} | {value} |")
    return 1 if (check and bad_allocs) else 0


if __name__ == "__main__":
    sys.exit(main())
