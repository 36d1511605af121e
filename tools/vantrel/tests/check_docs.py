#!/usr/bin/env python3
"""The examples of the README and docs/rules.md run as written.

Two kinds of example are run, from the repository's root with the built
`vantrel` first on the PATH:
  - every ```console block: each `$ command` line runs in bash, and what it
    prints must be the lines that follow it (`$ echo $?` prints the exit
    code of the command before);
  - every ```sh block that follows the line `<!-- runs as a test -->`: a
    migration recipe, run in a scratch folder holding a copy of examples/;
    afterwards every rule of examples/export.tsv must be in migrated.tsv, in
    order, each either written again with the edit or kept byte for byte.

usage: check_docs.py VANTREL SOURCE_DIR SCRATCH_DIR
"""
import os
import re
import shutil
import subprocess
import sys

DOCS = ("README.md", os.path.join("docs", "rules.md"))


def blocks(path):
    """(kind, lines, marked) of each fenced block of a Markdown file."""
    with open(path, encoding="utf-8") as doc:
        lines = doc.read().split("\n")
    found, i, marked = [], 0, False
    while i < len(lines):
        line = lines[i]
        if line.strip() == "<!-- runs as a test -->":
            marked = True
        elif line.startswith("```") and len(line) > 3:
            kind, body = line[3:].strip(), []
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                body.append(lines[i])
                i += 1
            found.append((kind, body, marked))
            marked = False
        i += 1
    return found


def run_console(body, root, env, where):
    failures, last_code, i = [], 0, 0
    while i < len(body):
        if not body[i].startswith("$ "):
            i += 1
            continue
        command = body[i][2:]
        expected = []
        i += 1
        while i < len(body) and not body[i].startswith("$ "):
            expected.append(body[i])
            i += 1
        if command.strip() == "echo $?":
            got = [str(last_code)]
        else:
            done = subprocess.run(["bash", "-c", command], cwd=root, env=env,
                                  capture_output=True, text=True)
            last_code = done.returncode
            got = done.stdout.rstrip("\n").split("\n") if done.stdout else []
        if got != expected:
            failures.append(f"{where}: $ {command}\n  expected: {expected}\n  got:      {got}")
    return failures


def run_recipe(body, root, scratch, env, where):
    work = os.path.join(scratch, re.sub(r"\W", "_", where))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    shutil.copytree(os.path.join(root, "examples"), os.path.join(work, "examples"))
    done = subprocess.run(["bash", "-c", "\n".join(body)], cwd=work, env=env,
                          capture_output=True, text=True)
    if done.returncode == 2:
        return [f"{where}: the recipe failed (exit 2):\n{done.stderr}"]
    with open(os.path.join(work, "examples", "export.tsv"), "rb") as f:
        before = f.read().split(b"\n")[:-1]
    try:
        with open(os.path.join(work, "migrated.tsv"), "rb") as f:
            after = f.read().split(b"\n")[:-1]
    except OSError as error:
        return [f"{where}: no migrated.tsv: {error}\n{done.stderr}"]
    failures = []
    if [b.split(b"\t")[0] for b in before] != [a.split(b"\t")[0] for a in after]:
        failures.append(f"{where}: the ids of migrated.tsv differ from the export's")
    for old, new in zip(before, after):
        if old != new and old.replace(b"Location_Name", b"Site_Name") != new:
            failures.append(f"{where}: a rule changed beyond the edit:\n  {old!r}\n  {new!r}")
    if not any(b"Site_Name" in a for a in after):
        failures.append(f"{where}: the edit was not made")
    return failures


def main():
    tool, root, scratch = map(os.path.abspath, sys.argv[1:4])
    env = dict(os.environ)
    env["PATH"] = os.path.dirname(tool) + os.pathsep + env.get("PATH", "")
    failures, ran = [], 0
    for doc in DOCS:
        for n, (kind, body, marked) in enumerate(blocks(os.path.join(root, doc))):
            where = f"{doc} block {n + 1}"
            if kind == "console":
                failures += run_console(body, root, env, where)
                ran += 1
            elif kind == "sh" and marked:
                failures += run_recipe(body, root, scratch, env, where)
                ran += 1
    for failure in failures:
        print(failure)
    print(f"{ran} examples run, {len(failures)} failed")
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
