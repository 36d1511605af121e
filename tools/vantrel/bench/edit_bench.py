#!/usr/bin/env python3
"""Migration of stored rules: `vantrel edit` against the jq-less pipeline.

Generates a TSV export of typical stored rules (batch_bench.py's: the
bundled examples, varied, about 0.6 % faulty), then in one run measures,
medians of 3 runs interleaved so that all see the same load:
  - `vantrel check --batch tsv` on 200,000 rules (the reading and the
    verdict, with a JSON line out per rule);
  - `cp` of the export (one write of its size);
  - `vantrel edit --batch tsv --rename-key Location_Name Site_Name -o FILE`;
  - `vantrel parse --batch tsv | vantrel format --batch jsonl --to tsv -o
    FILE`, the same migration as a pipeline with no edit in between;
  - the peak resident memory of edit at 50,000 and 500,000 rules.
Not a test: it prints the figures and the ratios, and exits 1 when edit
takes longer than check plus one write plus a quarter, is slower than the
pipeline, or its memory at 500,000 rules is more than 1.5x that at 50,000.

usage: edit_bench.py BUILD_DIR   (a release build, e.g. build/release)
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from batch_bench import measure, rules  # noqa: E402


def timed(command):
    start = time.perf_counter()
    subprocess.run(["bash", "-c", "set -o pipefail; " + command],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=False)
    return time.perf_counter() - start


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    tool = os.path.abspath(os.path.join(build, "tools/vantrel/vantrel"))
    baseline = os.path.join(build, "tools/vantrel/bench/vantrel_batch_baseline")
    work = os.path.join(build, "edit_bench")
    os.makedirs(work, exist_ok=True)
    files = {}
    for count in (50_000, 200_000, 500_000):
        files[count] = os.path.join(work, "export-%d.tsv" % count)
        with open(files[count], "w") as out:
            for i, text in enumerate(rules(count)):
                out.write("r-%d\t%s\n" % (i, text))
    export, out = files[200_000], os.path.join(work, "migrated.tsv")
    commands = {
        "check": "%s check --batch tsv %s > /dev/null" % (tool, export),
        "write": "cp %s %s" % (export, out),
        "edit": "%s edit --batch tsv --rename-key Location_Name Site_Name "
                "-o %s %s" % (tool, out, export),
        "pipeline": "%s parse --batch tsv %s | %s format --batch jsonl "
                    "--to tsv -o %s" % (tool, export, tool, out),
    }
    times = {name: [] for name in commands}
    for _ in range(3):
        for name, command in commands.items():
            times[name].append(timed(command))
    median = {name: statistics.median(t) for name, t in times.items()}
    for name in commands:
        print("%-8s 200,000 rules: %.3f s (%.2f us/rule)"
              % (name, median[name], median[name] / 200_000 * 1e6))
    memory = {}
    for count in (50_000, 500_000):
        took, rss, code, summary = measure(baseline, [
            tool, "edit", "--batch", "tsv", "--rename-key", "Location_Name",
            "Site_Name", "-o", out, files[count]])
        memory[count] = rss
        print("edit, %d rules: %.3f s, peak RSS %d KiB, exit %d; %s"
              % (count, took, rss, code, summary))
    budget = median["check"] + median["write"]
    growth = memory[500_000] / memory[50_000]
    print("edit / (check + one write): %.2f (limit 1.25)"
          % (median["edit"] / budget))
    print("edit / pipeline: %.2f (limit 1)"
          % (median["edit"] / median["pipeline"]))
    print("peak memory of edit, 500,000 / 50,000 rules: %.2f (limit 1.5)"
          % growth)
    ok = (median["edit"] <= 1.25 * budget and
          median["edit"] < median["pipeline"] and growth <= 1.5)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
