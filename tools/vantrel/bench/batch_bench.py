#!/usr/bin/env python3
"""Batch check of stored rules against the library's own parse + write.

Generates exports of typical stored rules (the bundled examples, varied,
with about 0.6 % faulty: rejected, both joiners, trailing bytes), then in
one run measures:
  - `vantrel check --batch lines` on 50,000 rules: wall time of the whole
    process (start-up, reading, checking, JSON lines out), median of 5;
  - the library's own parse + write + compare of the same rules
    (vantrel_batch_baseline, the loop alone), median of 5;
  - peak resident memory of the batch check at 50,000 and 500,000 rules.
Not a test: it prints the figures and the ratios, and exits 1 when the
time ratio is above 5 or the memory at 500,000 rules is more than 1.5x the
memory at 50,000.

usage: batch_bench.py BUILD_DIR   (a release build, e.g. build/release)
"""
import os
import random
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "..", "examples")


def rules(count, seed=1):
    rng = random.Random(seed)
    names = sorted(n for n in os.listdir(EXAMPLES) if n.endswith(".txt") and
                   os.path.exists(os.path.join(EXAMPLES, n[:-4] + ".json")))
    texts = [open(os.path.join(EXAMPLES, n)).read().rstrip("\n") for n in names]
    for i in range(count):
        text = texts[i % len(texts)].replace("Login", "Login%d" % (i % 977))
        roll = rng.random()
        if roll < 0.002:    # rejected: a parameter item without "=="
            text = text.replace("--}--", "--;--k--}--", 2)
        elif roll < 0.004:  # lossy: both joiners
            text = text + " @@OR@@ " + texts[0]
        elif roll < 0.006:  # lossy: trailing bytes
            text = text + " "
        yield text


def measure(baseline, argv):
    run = subprocess.run([baseline, "--run"] + argv, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True)
    *summary, figures = run.stderr.strip().split("\n")
    took, rss, code = figures.split()
    return float(took), int(rss), int(code), "\n".join(summary)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    tool = os.path.join(build, "tools/vantrel/vantrel")
    baseline = os.path.join(build, "tools/vantrel/bench/vantrel_batch_baseline")
    work = os.path.join(build, "batch_bench")
    os.makedirs(work, exist_ok=True)
    files = {}
    for count in (50_000, 500_000):
        files[count] = os.path.join(work, "rules-%d.txt" % count)
        with open(files[count], "w") as out:
            for text in rules(count):
                out.write(text + "\n")

    # Medians of five runs each, interleaved, so that both see the same load.
    library, tools, figures = [], [], {}
    for _ in range(5):
        base = subprocess.run([baseline, files[50_000]], capture_output=True,
                              text=True, check=True).stdout.split()
        library.append(float(base[0]))
        tools.append(measure(baseline, [tool, "check", "--batch", "lines",
                                        files[50_000]]))
    library_seconds = statistics.median(library)
    tool_seconds = statistics.median(run[0] for run in tools)
    figures[50_000] = (tool_seconds,) + max(tools)[1:]
    figures[500_000] = measure(baseline, [tool, "check", "--batch", "lines",
                                          files[500_000]])
    ratio = tool_seconds / library_seconds
    growth = figures[500_000][1] / figures[50_000][1]
    print("library parse+write, 50,000 rules: %.3f s (%.2f us/rule), %s come back"
          % (library_seconds, library_seconds / 50_000 * 1e6, base[1]))
    for count, (took, rss, code, summary) in figures.items():
        print("vantrel check --batch lines, %d rules: %.3f s (%.2f us/rule), "
              "peak RSS %d KiB, exit %d; %s"
              % (count, took, took / count * 1e6, rss, code, summary))
    print("time ratio (tool / library), 50,000 rules: %.2f (limit 5)" % ratio)
    print("peak memory, 500,000 / 50,000 rules: %.2f (limit 1.5)" % growth)
    return 0 if ratio <= 5 and growth <= 1.5 else 1


if __name__ == "__main__":
    sys.exit(main())
