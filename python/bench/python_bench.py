#!/usr/bin/env python3
"""The Python package against its yardsticks, side by side in one run.

  - vantrel.parse of the typical rule (five conditions of a name, a detail
    and three parameters of three values, as bench/inputs.h has it) against
    json.loads of the tool's JSON for the same records: both build the same
    Python objects (records there, dicts and lists here);
  - vantrel.check_many of 50,000 stored rules (the rules of
    tools/vantrel/bench/batch_bench.py) against `vantrel check --batch
    lines` on the same file, whole process.
  - vantrel.parse_many of the same 50,000 rules against a loop of
    vantrel.parse;
  - a migration of the same rules (rename the key Location_Name):
    vantrel.rewrite_many against a loop of parse + edit + format (which
    writes lossy texts back without their lost parts), and against the
    same loop made safe by hand (parse(whole=True), format(strict=True)).
Not a test: it prints the medians and the ratios. Goals: parse no slower
than json.loads (ratio <= 1), check_many within 2x of the tool, parse_many
no slower than the loop of parse (ratio <= 1), rewrite_many no slower than
the loop of parse + format.

usage: PYTHONPATH=BUILD/python python_bench.py BUILD   (a release build)
"""
import json
import os
import statistics
import subprocess
import sys
import time
import timeit

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "vantrel", "bench"))

import batch_bench  # noqa: E402  (the stored rules of the batch benchmark)
import vantrel  # noqa: E402


def typical_condition(i):
    n = str(i % 1000)
    return ("--#--Average_ResponseTime--#----{--response time--}----{--"
            "Transaction_Name==Login" + n + "--,--Checkout--,--Search"
            "--;--Location_Name==London--,--Paris" + n + "--,--Tokyo"
            "--;--Times==3--,--5--,--" + n + "--}--")


def per_call(fn, repeat=7):
    number = 2000
    times = timeit.repeat(fn, number=number, repeat=repeat)
    return statistics.median(times) / number


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    tool = os.path.join(build, "tools/vantrel/vantrel")

    rule = " @@AND@@ ".join(typical_condition(i) for i in range(5))
    doc = subprocess.run([tool, "parse", "-"], input=rule.encode(),
                         capture_output=True, check=True).stdout.decode()
    assert vantrel.parse(rule).to_dict() == json.loads(doc)
    compact = json.dumps(json.loads(doc), separators=(",", ":"))
    parse = per_call(lambda: vantrel.parse(rule))
    loads = per_call(lambda: json.loads(doc))
    loads_compact = per_call(lambda: json.loads(compact))
    print(f"typical rule ({len(rule)} bytes, JSON {len(doc)} bytes, "
          f"compact {len(compact)}):")
    print(f"  vantrel.parse        {parse * 1e6:8.2f} us")
    print(f"  json.loads (tool)    {loads * 1e6:8.2f} us   parse/loads {parse / loads:.2f}")
    print(f"  json.loads (compact) {loads_compact * 1e6:8.2f} us   parse/loads {parse / loads_compact:.2f}")

    work = os.path.join(build, "python_bench")
    os.makedirs(work, exist_ok=True)
    path = os.path.join(work, "rules-50000.txt")
    with open(path, "w") as out:
        for text in batch_bench.rules(50_000):
            out.write(text + "\n")

    def python_run():
        with open(path) as store:
            start = time.perf_counter()
            statuses = [r.status for r in vantrel.check_many(
                line.rstrip("\n") for line in store)]
            return time.perf_counter() - start, statuses

    def tool_run():
        start = time.perf_counter()
        out = subprocess.run([tool, "check", "--batch", "lines", path],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        took = time.perf_counter() - start
        return took, [json.loads(l)["status"] for l in out.stdout.splitlines()]

    py_times, tool_times = [], []
    for _ in range(5):
        took, py_statuses = python_run()
        py_times.append(took)
        took, tool_statuses = tool_run()
        tool_times.append(took)
    assert py_statuses == tool_statuses
    py_med, tool_med = statistics.median(py_times), statistics.median(tool_times)
    print(f"50,000 rules ({os.path.getsize(path)} bytes), median of 5:")
    print(f"  vantrel.check_many       {py_med:7.3f} s")
    print(f"  vantrel check --batch    {tool_med:7.3f} s   check_many/tool {py_med / tool_med:.2f}")

    with open(path) as store:
        texts = [line.rstrip("\n") for line in store]
    side_by_side("parse", {
        "loop of vantrel.parse": lambda: parse_loop(texts),
        "vantrel.parse_many": lambda: parse_many(texts),
    })
    side_by_side("migration (rename a key)", {
        "loop of parse + format": lambda: unsafe_migration(texts),
        "loop, whole + strict": lambda: safe_migration(texts),
        "vantrel.rewrite_many": lambda: rewrite_many(texts),
    })
    return 0


def rename(defs):
    for condition in defs.definitions:
        for param in condition.params:
            if param.key == "Location_Name":
                param.key = "Site"


def parse_loop(texts):
    for text in texts:
        vantrel.parse(text, partial=True)


def parse_many(texts):
    for _ in vantrel.parse_many(texts, partial=True):
        pass


def unsafe_migration(texts):
    out = []
    for text in texts:
        defs = vantrel.parse(text, partial=True)
        rename(defs)
        out.append(vantrel.format(defs))
    return out


def safe_migration(texts):
    out = []
    for text in texts:
        try:
            defs = vantrel.parse(text, whole=True)
            rename(defs)
            out.append(vantrel.format(defs, strict=True))
        except ValueError:
            out.append(text)
    return out


def rewrite_many(texts):
    return [r.text for r in vantrel.rewrite_many(texts, rename)]


def side_by_side(title, runs, repeat=5):
    """Medians of `repeat` runs of each, taken in turn; ratios to the
    first."""
    times = {name: [] for name in runs}
    for _ in range(repeat):
        for name, run in runs.items():
            start = time.perf_counter()
            run()
            times[name].append(time.perf_counter() - start)
    first = statistics.median(next(iter(times.values())))
    print(f"{title}, median of {repeat}:")
    for name, taken in times.items():
        median = statistics.median(taken)
        print(f"  {name:26} {median:7.3f} s   ratio {median / first:.2f}")


if __name__ == "__main__":
    sys.exit(main())
