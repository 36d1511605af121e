#!/usr/bin/python3
"""Checks the Windows workflow for the public mirror, which only GitHub can
run: that it parses as YAML, has its jobs with steps, and that every CMake
preset and every path of the repository it names exists.

    check_workflow.py <source dir> <workflow file>

A preset is named as `cmake --preset X` (configure), `cmake --build
--preset X` (build), `ctest --preset X` (test) or `cmake --workflow
--preset X` (workflow); a path as a word that begins with one of the
repository's top-level folders (build output under build/ excepted).
"""
import json
import os
import re
import sys

import yaml

TOP_LEVEL = ("tests", "scripts", "cmake", "src", "include", "support",
             "docs", "fuzz", "examples", "testing", "reference", "tools",
             ".github")


def run_texts(workflow):
    for name, job in workflow["jobs"].items():
        steps = job.get("steps")
        if not steps:
            yield None, "job %s has no steps" % name
            continue
        for step in steps:
            if "run" in step:
                yield step["run"], None


def main(source_dir, workflow_file):
    with open(workflow_file, encoding="utf-8") as f:
        workflow = yaml.safe_load(f)
    errors = []
    if not isinstance(workflow, dict) or not workflow.get("jobs"):
        print("%s: no jobs" % workflow_file)
        return 1
    # YAML 1.1 reads the key `on` as true.
    if "on" not in workflow and True not in workflow:
        errors.append("no trigger (on:)")

    with open(os.path.join(source_dir, "CMakePresets.json"), encoding="utf-8") as f:
        presets = json.load(f)
    kinds = {
        "configure": {p["name"] for p in presets.get("configurePresets", [])},
        "build": {p["name"] for p in presets.get("buildPresets", [])},
        "test": {p["name"] for p in presets.get("testPresets", [])},
        "workflow": {p["name"] for p in presets.get("workflowPresets", [])},
    }

    named_presets = 0
    named_paths = 0
    for text, error in run_texts(workflow):
        if error:
            errors.append(error)
            continue
        for line in text.splitlines():
            for match in re.finditer(r"\b(cmake|ctest)\b([^|&;]*?)--preset[ =]([\w.-]+)", line):
                tool, between, name = match.groups()
                if tool == "ctest":
                    kind = "test"
                elif "--build" in between:
                    kind = "build"
                elif "--workflow" in between:
                    kind = "workflow"
                else:
                    kind = "configure"
                named_presets += 1
                if name not in kinds[kind]:
                    errors.append("%s preset %s does not exist (%s)" % (kind, name, line.strip()))
            for word in re.findall(r"[\w.\\/-]+", line):
                path = word.replace("\\", "/")
                if path.split("/")[0] in TOP_LEVEL and "/" in path:
                    named_paths += 1
                    if not os.path.exists(os.path.join(source_dir, path)):
                        errors.append("path %s does not exist (%s)" % (path, line.strip()))
    if named_presets == 0:
        errors.append("names no preset")
    for error in errors:
        print("%s: %s" % (workflow_file, error))
    if errors:
        return 1
    print("%s: %d jobs, %d preset names and %d paths, all present"
          % (workflow_file, len(workflow["jobs"]), named_presets, named_paths))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
